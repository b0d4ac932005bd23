#include "host/components/db_geral.h"
#include "tests/support/package_fixture.h"

namespace {

struct ScreenDefinition : PackageFixture {
  void SetUp() override {
    PackageFixture::SetUp();
    IniProc();
  }
  tk::TControl& Control(const std::string& name) {
    auto* c = dynamic_cast<tk::TControl*>(Form().FindComponent(name));
    if (!c) throw std::runtime_error("no control " + name);
    return *c;
  }
};

TEST_F(ScreenDefinition, ANewFormShowsItsDefinedInitialValues) {
  TfrmArquMag& f = Form();
  EXPECT_EQ(f.Caption(), "Arquivo Magnético - Sintegra");
  EXPECT_EQ(f.lblCodTela->Caption(), "MAG04200");
  EXPECT_EQ(f.FormStyle(), tk::TFormStyle::fsMDIChild);
  EXPECT_EQ(f.cbbArquivo->Text(), "SINTEGRA");
  for (tk::TCustomEdit* empty : std::initializer_list<tk::TCustomEdit*>{
           f.cbbVersao, f.cbbFinalidade, f.edtNmArquivo, f.medCdEmpresa, f.medCdImposto, f.edtNrInscricao,
           f.edtNrInscricaoST, f.medCodPais, f.depInventario}) {
    EXPECT_EQ(empty->Text(), "") << empty->Name();
  }
  // The period opens on the current month.
  EXPECT_TRUE(f.depMesInicial->IsValidDate() && f.depMesInicial->GetDate() > 0);
  EXPECT_EQ(f.depMesFinal->Text(), f.depMesInicial->Text());
  EXPECT_EQ(f.medLivro->Text(), std::string(10, ' '));
  EXPECT_TRUE(f.rbtEstTodos->Checked());
  EXPECT_FALSE(f.rbtEstLista->Checked());
  EXPECT_FALSE(f.ckcInventario->Checked());
  EXPECT_FALSE(f.ckcRegistro88st->Checked());
  for (std::size_t i = 0; i < f.clbArquivos->Count(); ++i) EXPECT_FALSE(f.clbArquivos->Checked(i)) << i;
  EXPECT_EQ(f.btpInscricao->Title(), "Inscrição");
  EXPECT_EQ(f.ActiveControl(), f.cbbArquivo);
  EXPECT_FALSE(f.pgbProgresso->Visible());
  EXPECT_EQ(Cli_mag04200::stEstado, "");
}

TEST_F(ScreenDefinition, EnabledStatesAfterTheFirstActivation) {
  // The first activation applied the rule for "SINTEGRA": no country, states
  // or register list; the inventory and 88 options are offered.
  const std::vector<std::string> enabled = {
      "cbbArquivo",   "medCdEmpresa",  "btpEmpresa",      "lblImposto",  "medCdImposto", "btpImposto",
      "medLivro",     "sbtPesqLivro",  "depMesInicial",   "depMesFinal", "cbbVersao",    "cbbFinalidade",
      "edtNmArquivo", "ckcInventario", "ckcRegistro88st", "lblEstado"};
  const std::vector<std::string> disabled = {
      "edtNmEmpresa",   "edtNmImposto",     "lblInscricao",   "edtNrInscricao", "btpInscricao",
      "lblInscricaoST", "edtNrInscricaoST", "btpInscricaoST", "edtLivro",       "lblPais",
      "medCodPais",     "sbtPescPais",      "edtNmPais",      "grbEstado",      "rbtEstTodos",
      "rbtEstLista",    "sbtPescEst",       "clbArquivos",    "lblRefInve",     "depInventario"};
  for (const auto& name : enabled) {
    if (name == "lblEstado") continue;
    EXPECT_TRUE(Control(name).Enabled()) << name;
  }
  for (const auto& name : disabled) EXPECT_FALSE(Control(name).Enabled()) << name;
  EXPECT_FALSE(Form().lblEstado->Enabled());
}

TEST_F(ScreenDefinition, TheTabOrderRunsThroughTheEnabledFields) {
  std::vector<std::string> order;
  for (tk::TControl* c : Form().TabStops()) order.push_back(c->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"cbbArquivo", "medCdEmpresa", "medCdImposto", "medLivro",
                                             "depMesInicial", "depMesFinal", "cbbVersao", "cbbFinalidade",
                                             "edtNmArquivo", "ckcInventario", "ckcRegistro88st"}));
  // With a state variant the country, the state group and the register list
  // join, the list before the check boxes above it (which that variant disables).
  Form().cbbArquivo->SelectItem(1);
  Form().edtNrInscricao->SetEnabled(true);
  Form().edtNrInscricaoST->SetEnabled(true);
  Form().ckcInventario->SetEnabled(true);
  Form().depInventario->SetEnabled(true);
  Form().ckcRegistro88st->SetEnabled(true);
  order.clear();
  for (tk::TControl* c : Form().TabStops()) order.push_back(c->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"cbbArquivo", "medCdEmpresa", "medCdImposto", "edtNrInscricao",
                                             "edtNrInscricaoST", "medLivro", "medCodPais", "rbtEstTodos",
                                             "depMesInicial", "depMesFinal", "cbbVersao", "cbbFinalidade",
                                             "edtNmArquivo", "clbArquivos", "ckcInventario", "depInventario",
                                             "ckcRegistro88st"}));
}

TEST_F(ScreenDefinition, ControlsStandWhereTheLayoutPutsThem) {
  struct Place {
    const char* name;
    int left, top, width, height;
  } places[] = {
      {"grbDadosRel", 0, 0, 521, 550},         {"panMenu", 521, 0, 55, 550},
      {"panProgresso", 481, 561, 479, 20},     {"cbbArquivo", 162, 10, 319, 21},
      {"medCdEmpresa", 162, 35, 25, 21},       {"btpEmpresa", 193, 35, 21, 21},
      {"edtNmEmpresa", 220, 35, 259, 21},      {"medCdImposto", 162, 60, 25, 21},
      {"btpImposto", 193, 60, 21, 21},         {"edtNmImposto", 220, 60, 259, 21},
      {"edtNrInscricao", 162, 85, 170, 21},    {"btpInscricao", 338, 85, 21, 21},
      {"edtNrInscricaoST", 162, 110, 170, 21}, {"btpInscricaoST", 338, 110, 21, 21},
      {"medLivro", 162, 135, 84, 21},          {"sbtPesqLivro", 249, 135, 21, 21},
      {"edtLivro", 273, 135, 205, 21},         {"medCodPais", 162, 160, 40, 21},
      {"sbtPescPais", 207, 160, 21, 21},       {"edtNmPais", 233, 160, 246, 21},
      {"grbEstado", 162, 181, 318, 36},        {"sbtPescEst", 204, 10, 21, 21},
      {"depMesInicial", 162, 220, 100, 21},    {"depMesFinal", 284, 220, 100, 21},
      {"cbbVersao", 162, 245, 202, 21},        {"cbbFinalidade", 162, 270, 202, 21},
      {"edtNmArquivo", 162, 295, 250, 21},     {"ckcInventario", 7, 324, 201, 17},
      {"depInventario", 298, 321, 100, 21},    {"ckcRegistro88st", 7, 345, 330, 17},
      {"panArquivos", 3, 381, 505, 163},       {"clbArquivos", 0, 0, 502, 162},
  };
  for (const Place& p : places) {
    const tk::TRect& r = Control(p.name).Bounds();
    EXPECT_EQ(std::tie(r.left, r.top, r.width, r.height), std::tie(p.left, p.top, p.width, p.height))
        << p.name;
  }
  struct LabelPlace {
    const char* name;
    int left, top;
    const char* caption;
  } labels[] = {{"lblArquivo", 6, 13, "Arquivo a Exportar"},
                {"lblEmpresa", 6, 38, "Empresa"},
                {"lblImposto", 6, 63, "Imposto"},
                {"lblInscricao", 6, 88, "Inscrição Estadual"},
                {"lblInscricaoST", 6, 113, "Inscrição do Substituto "},
                {"lblLivrMag", 6, 138, "Livro Magnético"},
                {"lblPais", 6, 163, "País"},
                {"lblEstado", 6, 197, "Estado"},
                {"Label3", 6, 223, "Referência"},
                {"Label4", 270, 223, "a"},
                {"lblIdentConv", 6, 248, "Identificação do Convênio"},
                {"lblFinalidade", 6, 273, "Finalidade do Arquivo"},
                {"Label1", 6, 298, "Nome do Arquivo"},
                {"lblRefInve", 227, 324, "Referência"},
                {"lblRegistro", 6, 365, "Registro de"},
                {"rbtEstTodos", 15, 13, "Todos"},
                {"rbtEstLista", 147, 13, "Lista"},
                {"ckcInventario", 7, 324, "Gera Registro de Inventário"},
                {"ckcRegistro88st", 7, 345, "Gera Registro 88 - Informações Substituição Tributária"}};
  for (const LabelPlace& l : labels) {
    tk::TControl& c = Control(l.name);
    EXPECT_EQ(c.Bounds().left, l.left) << l.name;
    EXPECT_EQ(c.Bounds().top, l.top) << l.name;
    EXPECT_EQ(c.Caption(), l.caption) << l.name;
    EXPECT_TRUE(c.Bold()) << l.name;
  }
}

TEST_F(ScreenDefinition, FieldsCarryTheirMasksLengthsColoursAndTabOrder) {
  struct Field {
    const char* name;
    const char* mask;
    int max_length;
    tk::TColor color;
    int tab;
  } fields[] = {
      {"cbbArquivo", "", 0, tk::TColor::clInfoBk, 0},
      {"medCdEmpresa", "99;0; ", 2, tk::TColor::clInfoBk, 1},
      {"edtNmEmpresa", "", 0, tk::TColor::clBtnFace, 21},
      {"medCdImposto", "99;0; ", 2, tk::TColor::clInfoBk, 2},
      {"edtNmImposto", "", 0, tk::TColor::clBtnFace, 14},
      {"edtNrInscricao", "", 16, tk::TColor::clInfoBk, 3},
      {"edtNrInscricaoST", "", 16, tk::TColor::clWindow, 4},
      {"medLivro", "9999999999;1; ", 10, tk::TColor::clWindow, 5},
      {"edtLivro", "", 0, tk::TColor::clBtnFace, 15},
      {"medCodPais", "9999;0; ", 4, tk::TColor::clWindow, 6},
      {"edtNmPais", "", 30, tk::TColor::clBtnFace, 17},
      {"depMesInicial", "99/9999;1; ", 7, tk::TColor::clInfoBk, 8},
      {"depMesFinal", "99/9999;1; ", 7, tk::TColor::clInfoBk, 9},
      {"cbbVersao", "", 0, tk::TColor::clInfoBk, 10},
      {"cbbFinalidade", "", 0, tk::TColor::clInfoBk, 11},
      {"edtNmArquivo", "", 50, tk::TColor::clInfoBk, 12},
      {"depInventario", "99/9999;1; ", 7, tk::TColor::clInfoBk, 25},
  };
  for (const Field& f : fields) {
    auto& edit = dynamic_cast<tk::TCustomEdit&>(Control(f.name));
    const auto* masked = dynamic_cast<tk::TMaskEdit*>(&edit);
    EXPECT_EQ(masked ? masked->Mask().Source() : std::string(), f.mask) << f.name;
    EXPECT_EQ(edit.MaxLength(), f.max_length) << f.name;
    EXPECT_EQ(edit.Color(), f.color) << f.name;
    EXPECT_EQ(edit.TabOrder(), f.tab) << f.name;
  }
  EXPECT_TRUE(Form().edtNmPais->ReadOnly());
  EXPECT_FALSE(Form().depMesInicial->ShowDia());
  EXPECT_EQ(Form().depMesInicial->ValidDateColor, tk::TColor::clBlue);
  EXPECT_EQ(Form().depInventario->NomeSemana.front(), "Domingo");
}

TEST_F(ScreenDefinition, TheListsHoldTheirItemsExactly) {
  EXPECT_EQ(Form().cbbArquivo->Items(),
            (std::vector<std::string>{"SINTEGRA", "DIEF - MA", "DIEF - PI", "SINTEGRA - MS", "SINTEGRA - RJ",
                                      "SINTEGRA - RS"}));
  EXPECT_EQ(Form().cbbVersao->Items(),
            (std::vector<std::string>{"1 - Convênio ICMS 31/99", "2 - Convênio ICMS xx/02 ",
                                      "3 - Convênio ICMS xx/04"}));
  std::string purpose_codes;
  for (const auto& item : Form().cbbFinalidade->Items()) purpose_codes += item.front();
  EXPECT_EQ(purpose_codes, "1235");
  const auto& registers = Form().clbArquivos->Items();
  ASSERT_EQ(registers.size(), 12u);
  EXPECT_EQ(registers[9], "75 - Código de Produto ou Serviço ");
  EXPECT_EQ(registers[10], "88 - Informações - Substituição Tributária");
  EXPECT_EQ(registers[11], "88 - Registros Sem Movimento");
  EXPECT_EQ(Form().clbArquivos->ItemHeight(), 13);
}

TEST_F(ScreenDefinition, TheCatalogueKeepsItsFortyThreeEntriesWithTheirTrailingBlanks) {
  const auto& entries = Form().msgPadrao->Entries();
  ASSERT_EQ(entries.size(), 43u);
  EXPECT_EQ(entries.front(), "Impo_Inf|Imposto deve ser informado. ");
  EXPECT_EQ(entries.back(),
            "DTINVE_MENOR|Data do inventário deve ser menor ou igual ao período de referência.");
  const std::pair<const char*, int> blanks[] = {
      {"Impo_Inf", 1},       {"Impo_Cad", 1},      {"InscMuni", 1},      {"InscEsta", 1},
      {"Empr_Inf", 2},       {"Empr_Cad", 2},      {"INFO_COD_PAIS", 2}, {"COD_NAO_CAD", 2},
      {"Referencia_Inf", 2}, {"InscMuni_Inf", 2},  {"InscEsta_Inf", 1},  {"InscMuni_Cad", 2},
      {"InscEsta_cad", 2},   {"Sucess", 2},        {"Reg_vazio", 0},     {"Chr_Inv", 0},
      {"Estado", 0},         {"qryInscrEstad", 0}, {"InscST_Cad", 0}};
  for (const auto& [key, count] : blanks) {
    const std::string& text = Form().msgPadrao->Msg(key);
    const auto last = text.find_last_not_of(' ');
    EXPECT_EQ(static_cast<int>(text.size() - last - 1), count) << key;
  }
  EXPECT_EQ(Form().msgPadrao->Msg("Empr_Inf"), "Empresa deve ser informada.  ");
  EXPECT_EQ(Form().msgPadrao->Msg("ESTADO_INFO"), Form().msgPadrao->Msg("Est_Info"));
  EXPECT_EQ(Form().msgPadrao->Msg("qryInscrMunicip"), "Inscrição Municipal");
}

TEST_F(ScreenDefinition, SearchButtonsAreBoundToTheirFieldsAndDataSources) {
  TfrmArquMag& f = Form();
  struct Binding {
    comp::TBtnPesquisa* button;
    tk::TControl* associate;
    const char* title;
    comp::TDataSource* source;
    comp::TDataSet* dataset;
    const char* empty_error;
  } bindings[] = {
      {f.btpEmpresa, f.medCdEmpresa, "Empresa", f.dtsEmpresa, f.cdsEmpresa, "Não há empresa cadastrada."},
      {f.btpImposto, f.medCdImposto, "Imposto", f.dtsImpostonfe, f.cdsImposto, "Não há imposto cadastrado."},
      {f.btpInscricao, f.edtNrInscricao, "Inscrição", f.dtsInscrEstad, f.qryInscrEstad,
       "Não há inscrição cadastrada para a empresa informada."},
      {f.btpInscricaoST, f.edtNrInscricaoST, "Inscrição", f.dtsInscST, f.cdsInscST,
       "Não há inscrição do substituto cadastrada para a empresa e inscrição estadual informadas."},
      {f.sbtPesqLivro, f.medLivro, "Livro Magnético", f.dtsLivroMag, f.cdsLivroMag, "Não há livro magnético"},
      {f.sbtPescPais, f.medCodPais, "País", f.dtsPais, f.qryPais, "Não há país cadastrado."},
      {f.sbtPescEst, f.rbtEstLista, "Estado", f.dtsEstado, f.qryEstado, "Não há estado cadastrado."},
  };
  for (const Binding& b : bindings) {
    EXPECT_EQ(b.button->Associate(), b.associate) << b.button->Name();
    EXPECT_EQ(b.button->Title(), b.title) << b.button->Name();
    EXPECT_EQ(b.button->DataSource(), b.source) << b.button->Name();
    EXPECT_EQ(b.source->DataSet(), b.dataset) << b.button->Name();
    EXPECT_EQ(b.button->EmptyError(), b.empty_error) << b.button->Name();
    EXPECT_EQ(b.button->Hint(), "Pesquisar") << b.button->Name();
    EXPECT_EQ(b.button->Bounds().width, 21) << b.button->Name();
    EXPECT_EQ(b.button->NumGlyphs(), 2) << b.button->Name();
  }
  EXPECT_TRUE(f.sbtPescEst->OnClick);
  EXPECT_FALSE(f.sbtPescEst->OnBeforePesq);
  EXPECT_EQ(f.sbtImportExport->Hint(), "Exportar");
  EXPECT_EQ(f.netArqMag->ServerName(), "Mag04200.rdmArqMag");
  EXPECT_FALSE(f.netArqMag->ThrowException());
}

TEST_F(ScreenDefinition, DatasetsCarryTheirFieldsSizesLabelsAndVisibility) {
  struct FieldDef {
    comp::TDataSet* dataset;
    const char* field;
    int size;
    const char* label;
    bool visible;
  } defs[] = {
      {Form().cdsEmpresa, "CDEMPRESA", 2, "Código", true},
      {Form().cdsEmpresa, "NMEMPRESA", 40, "Nome", true},
      {Form().cdsEmpresa, "CDSITUCRT", 1, "CDSITUCRT", false},
      {Form().cdsImposto, "SGIMPOSTONFE", 10, "Sigla", true},
      {Form().cdsImposto, "IDORGARRECADNFE", 1, "IDORGARRECADNFE", false},
      {Form().cdsInscST, "CDINSCESTA", 16, "Insc. Estadual", false},
      {Form().cdsInscST, "CDINSCESTAST", 16, "Código", true},
      {Form().cdsLivroMag, "NMLIVROMAG", 50, "Nome", true},
      {Form().cdsRegistros, "DSREGARQMAG", 4000, "DSREGARQMAG", true},
      {Form().qryEstado, "SGESTADO", 2, "Sigla", true},
      {Form().qryPais, "NMPAIS", 30, "Nome", true},
      {Form().qryInscrEstad, "CDEMPRESA", 2, "CDEMPRESA", false},
      {Form().qryInscrEstad, "NRINSJURIEST", 20, "NRINSJURIEST", false},
      {Form().qryInscrMunicip, "CDINSCMUNI", 16, "Código", true},
  };
  for (const FieldDef& d : defs) {
    const comp::TField& field = d.dataset->FieldByName(d.field);
    EXPECT_EQ(field.Size(), d.size) << d.field;
    EXPECT_EQ(field.DisplayLabel(), d.label) << d.field;
    EXPECT_EQ(field.Visible(), d.visible) << d.field;
  }
  EXPECT_EQ(Form().cdsLivroMag->FieldByName("CDLIVROMAG").DisplayWidth(), 12);
  EXPECT_EQ(Form().cdsRegistros->FieldByName("SQUENCIAL").DataType(), comp::TFieldType::ftFloat);
  EXPECT_EQ(Form().cdsEmpresaCDSITUCRT, &Form().cdsEmpresa->FieldByName("CDSITUCRT"));
  for (const char* name :
       {"cdsRegistro10", "cdsRegistro51", "cdsRegistro60M", "cdsRegistro90", "cdsRegistro5403"}) {
    EXPECT_NE(Form().FindComponent(name), nullptr) << name;
  }
  EXPECT_EQ(Form().cdsRegistro75->Fields().size(), 12u);
  // Found by its name, of its class.
  ASSERT_NE(Form().FindComponent("IdFTP"), nullptr);
  EXPECT_EQ(Form().FindComponent("IdFTP")->ClassName(), "TIdFTP");
}

TEST_F(ScreenDefinition, EachQueryRunsTheTextOfTheConnectionsDialect) {
  comp::TADOConnection connection(nullptr, "adcTest");
  const auto first_where = [](comp::TADOIBQuery& q) {
    const std::string text = q.StatementText();
    const auto at = text.find("WHERE\n");
    return at == std::string::npos ? text : text.substr(at + 6, text.find('\n', at + 6) - at - 6);
  };
  struct Case {
    comp::TADOIBQuery* query;
    comp::TDialect dialect;
    const char* needle;
  } cases[] = {
      {Form().qryEstado, comp::TDialect::Generic, "INSTR(NVL(:P_SGESTADO, SGESTADO), SGESTADO) > 0"},
      {Form().qryEstado, comp::TDialect::Oracle, "INSTR(NVL(:P_SGESTADO, SGESTADO), SGESTADO) > 0"},
      {Form().qryEstado, comp::TDialect::MsSql, "CHARINDEX(SGESTADO, ISNULL(:P_SGESTADO, SGESTADO)) > 0"},
      {Form().qryEstado, comp::TDialect::InterBase, "PARAM(:P_SGESTADO) P_SGESTADO"},
      {Form().qryPais, comp::TDialect::MsSql, "ISNULL(:P_CDPAIS,CDPAIS)"},
      {Form().qryPais, comp::TDialect::InterBase, "NVLSTR(P_CDPAIS.PARAM,CDPAIS)"},
      {Form().qryInscrEstad, comp::TDialect::MsSql, "(CDINSCESTA = :P_INSCESTA OR :P_TINSCESTA = 'T')"},
      {Form().qryInscrMunicip, comp::TDialect::InterBase, "(CDINSCMUNI = :P_INSCMUNI OR :P_TINSCMUNI = 'T')"},
  };
  for (const Case& c : cases) {
    comp::TADOConnection* original = c.query->Connection();
    connection.SetDialect(c.dialect);
    c.query->SetConnection(&connection);
    EXPECT_NE(c.query->StatementText().find(c.needle), std::string::npos)
        << c.query->Name() << " / " << comp::DialectName(c.dialect);
    c.query->SetConnection(original);
  }
  EXPECT_EQ(first_where(*Form().qryEstado), "   (CDPAIS        =  :P_CDPAIS)                           AND");
  EXPECT_FALSE(Form().qryEstado->Active());
  EXPECT_EQ(Form().qryEstado->Params().size(), 2u);
}

}  // namespace
