// Handlers whose rules are not built yet: the lookups of the company, tax,
// registrations, country, states and book, the month checks, the key filters
// and the Export command. They are bound so that the form definition is
// complete; each does nothing until its rule is written.
#include "screen/frm_arqu_mag.h"

void TfrmArquMag::medCdEmpresaChange(tk::TComponent&) {}
void TfrmArquMag::medCdEmpresaExit(tk::TComponent&) {}
void TfrmArquMag::btpEmpresaBeforePesq(tk::TComponent&, bool&) {}
void TfrmArquMag::btpEmpresaAfterPesq(tk::TComponent&) {}
void TfrmArquMag::medCdImpostoChange(tk::TComponent&) {}
void TfrmArquMag::medCdImpostoExit(tk::TComponent&) {}
void TfrmArquMag::btpImpostoBeforePesq(tk::TComponent&, bool&) {}
void TfrmArquMag::btpImpostoAfterPesq(tk::TComponent&) {}
void TfrmArquMag::edtNrInscricaoChange(tk::TComponent&) {}
void TfrmArquMag::edtNrInscricaoExit(tk::TComponent&) {}
void TfrmArquMag::btpInscricaoBeforePesq(tk::TComponent&, bool&) {}
void TfrmArquMag::btpInscricaoAfterPesq(tk::TComponent&) {}
void TfrmArquMag::edtNrInscricaoSTExit(tk::TComponent&) {}
void TfrmArquMag::btpInscricaoSTBeforePesq(tk::TComponent&, bool&) {}
void TfrmArquMag::btpInscricaoSTAfterPesq(tk::TComponent&) {}
void TfrmArquMag::medCodPaisChange(tk::TComponent&) {}
void TfrmArquMag::medCodPaisExit(tk::TComponent&) {}
void TfrmArquMag::sbtPescPaisBeforePesq(tk::TComponent&, bool&) {}
void TfrmArquMag::sbtPescPaisAfterPesq(tk::TComponent&) {}
void TfrmArquMag::sbtPescEstClick(tk::TComponent&) {}
void TfrmArquMag::qryEstadoBeforeOpen(tk::TComponent&) {}
void TfrmArquMag::depMesInicialExit(tk::TComponent&) {}
void TfrmArquMag::depMesFinalExit(tk::TComponent&) {}
void TfrmArquMag::medLivroChange(tk::TComponent&) {}
void TfrmArquMag::medLivroExit(tk::TComponent&) {}
void TfrmArquMag::sbtPesqLivroBeforePesq(tk::TComponent&, bool&) {}
void TfrmArquMag::sbtPesqLivroAfterPesq(tk::TComponent&) {}
void TfrmArquMag::cbbArquivoKeyPress(tk::TComponent&, char32_t&) {}
void TfrmArquMag::cbbVersaoKeyPress(tk::TComponent&, char32_t&) {}
void TfrmArquMag::cbbFinalidadeKeyPress(tk::TComponent&, char32_t&) {}
void TfrmArquMag::edtNmArquivoKeyPress(tk::TComponent&, char32_t&) {}
void TfrmArquMag::depInventarioExit(tk::TComponent&) {}
void TfrmArquMag::sbtImportExportClick(tk::TComponent&) {}
void TfrmArquMag::AbreQuerys() {}
void TfrmArquMag::Vd_Empresa(bool) {}
void TfrmArquMag::Vd_Imposto(bool) {}
void TfrmArquMag::Vd_Inscricao(bool) {}
void TfrmArquMag::Vd_InscricaoST() {}
void TfrmArquMag::Vd_Pais(bool) {}
void TfrmArquMag::Vd_Data(bool) {}
void TfrmArquMag::Vd_Estado(bool) {}
void TfrmArquMag::Vd_Livro(bool) {}
