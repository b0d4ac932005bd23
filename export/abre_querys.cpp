// The paged generation: the screen's values become one call of GetRegistro,
// its status is checked, and the lines of every page are written to the file
// in the order received.
#include <filesystem>

#include "export/output_file.h"
#include "export/register_mask.h"
#include "host/components/consiste.h"
#include "host/toolkit/application.h"
#include "lib/wire/host_date.h"
#include "module/globals.h"
#include "screen/frm_arqu_mag.h"
#include "screen/handler_support.h"

namespace {
constexpr double kPageSize = 50000;
}  // namespace

void TfrmArquMag::AbreQuerys() {
  std::string key;
  const wire::CalendarDate last_month = wire::DecodeDate(depMesFinal->GetDate());
  const double inventory_date = comp::EmptyString(depInventario->Text()) ? 0 : depInventario->GetDate();
  const wire::CalendarDate inventory = wire::DecodeDate(inventory_date);
  std::string mask = BuildRegisterMask(*clbArquivos, ckcInventario->Checked(), ckcRegistro88st->Checked());
  double start = 0;
  double end = kPageSize;

  // The 19 arguments, read from the screen at every call; the by-reference
  // ones carry what the server left in them to the next call.
  const auto call = [&](const std::string& first_page) {
    if (first_page == "N") {
      start = end + 1;
      end = end + kPageSize;
    }
    using wire::Variant;
    std::vector<comp::CallArgument> args = {
        {Variant(mask), true},
        {Variant(medCdImposto->Text()), false},
        {Variant(medCdEmpresa->Text()), false},
        {Variant(edtNrInscricao->Text()), false},
        {Variant(edtNrInscricaoST->Text()), false},
        {Variant(wire::DateTime{comp::PriDiaMes(depMesInicial->GetDate())}), false},
        {Variant(wire::DateTime{comp::UltDiaMes(last_month.month, last_month.year)}), false},
        {Variant(medCodPais->Text()), false},
        {Variant(Cli_mag04200::stEstado), true},
        {Variant(cbbVersao->Text().substr(0, 1)), false},
        {Variant(cbbFinalidade->Text().substr(0, 1)), false},
        {Variant(edtNmArquivo->Text()), false},
        {Variant(cbbArquivo->Text()), false},
        {Variant(medLivro->Text()), false},
        {Variant(wire::DateTime{comp::UltDiaMes(inventory.month, inventory.year)}), false},
        {Variant(key), true},
        {Variant(first_page), false},
        {Variant(start), true},
        {Variant(end), true}};
    wire::Variant reply = netArqMag->AppServer().Call("GetRegistro", args);
    mask = args[0].value.AsString();
    Cli_mag04200::stEstado = args[8].value.AsString();
    key = args[15].value.AsString();
    start = args[17].value.AsDouble();
    end = args[18].value.AsDouble();
    const auto& items = reply.AsArray();
    if (items.size() != 5)
      throw comp::EServerError("Resposta inválida do servidor de aplicação (GetRegistro).");
    return items;
  };

  wire::VariantArray first;
  WithBusyAnimation(msgPadrao->Msg("Carg_Serv"), [&] { first = call("S"); });
  key = first[4].AsString();
  std::string more = first[3].AsString();

  // An export that stops early tells the server, so that the lines it keeps
  // for the next pages are dropped now rather than at their expiry.
  try {
    WriteFile(first, more, call);
  } catch (...) {
    if (more == "S" && !key.empty()) {
      try {
        std::vector<comp::CallArgument> args = {{wire::Variant(key), false}};
        netArqMag->AppServer().Call("CancelRegistro", args);
      } catch (...) {
        // The server drops them at the expiry anyway; the first error is the one to show.
      }
    }
    throw;
  }
}

void TfrmArquMag::WriteFile(const wire::VariantArray& first, std::string& more,
                            const std::function<wire::VariantArray(const std::string&)>& call) {
  const std::string& status = first[0].AsString();
  std::string directory =
      first[2].kind() == wire::Variant::Kind::String ? first[2].AsString() : std::string();
  std::error_code error;
  if (status == "PARAM" || directory.empty() || !std::filesystem::is_directory(directory, error))
    Report("Dir_Inv");
  if (status == "MP_BLOQ") Report("Bloq_Mp");
  if (status != "OK") {
    tk::ShowMessage(status);
    throw std::runtime_error("A geração do arquivo foi interrompida pelo servidor: " + status);
  }
  // The file name never leaves the directory the server names.
  if (directory.back() != '/') directory += '/';

  OutputFile file(directory + edtNmArquivo->Text());
  const auto write_page = [&](const wire::Variant& packet) {
    cdsRegistros->SetData(packet);
    const comp::TField& line = cdsRegistros->FieldByName("DSREGARQMAG");
    for (cdsRegistros->First(); !cdsRegistros->Eof(); cdsRegistros->Next()) file.WriteLine(line.AsString());
  };
  write_page(first[1]);
  while (more == "S") {
    cdsRegistros->EmptyDataSet();
    const wire::VariantArray next = call("N");
    write_page(next[1]);
    more = next[3].AsString();
  }
  file.Commit();
}
