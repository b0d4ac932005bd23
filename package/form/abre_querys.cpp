// The paged generation: the screen's values become one call of GetRegistro,
// its status is checked, and the lines of every page are written to the file
// in the order received.
#include <filesystem>

#include "host/components/consiste.h"
#include "host/toolkit/application.h"
#include "lib/wire/host_date.h"
#include "lib/wire/registro_call.h"
#include "package/export/output_file.h"
#include "package/export/page_loop.h"
#include "package/export/register_mask.h"
#include "package/form/frm_arqu_mag.h"
#include "package/form/handler_support.h"
#include "package/module/globals.h"

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
    wire::RegistroRequest request;
    request.mask = mask;
    request.tax = medCdImposto->Text();
    request.company = medCdEmpresa->Text();
    request.registration = edtNrInscricao->Text();
    request.substitute = edtNrInscricaoST->Text();
    request.first_day = comp::PriDiaMes(depMesInicial->GetDate());
    request.last_day = comp::UltDiaMes(last_month.month, last_month.year);
    request.country = medCodPais->Text();
    request.states = Cli_mag04200::stEstado;
    request.version = cbbVersao->Text().substr(0, 1);
    request.purpose = cbbFinalidade->Text().substr(0, 1);
    request.file_name = edtNmArquivo->Text();
    request.file_type = cbbArquivo->Text();
    request.book = medLivro->Text();
    request.inventory = comp::UltDiaMes(inventory.month, inventory.year);
    request.key = key;
    request.first_page = first_page;
    request.start = start;
    request.end = end;
    std::vector<comp::CallArgument> args = wire::EncodeRegistro(request);
    wire::Variant reply = netArqMag->AppServer().Call(wire::kGetRegistro, args);
    const wire::RegistroRequest back = wire::DecodeRegistro(args);
    mask = back.mask;
    Cli_mag04200::stEstado = back.states;
    key = back.key;
    start = back.start;
    end = back.end;
    const auto& items = reply.AsArray();
    if (!wire::DecodeRegistroReply(items))
      throw comp::EServerError("Resposta inválida do servidor de aplicação (GetRegistro).");
    return items;
  };

  wire::VariantArray first;
  WithBusyAnimation(msgPadrao->Msg("Carg_Serv"), [&] { first = call("S"); });
  key = wire::DecodeRegistroReply(first)->key;
  PageLoop pages(first, [&] {
    cdsRegistros->EmptyDataSet();
    return call("N");
  });

  // An export that stops early tells the server, so that the lines it keeps
  // for the next pages are dropped now rather than at their expiry.
  try {
    WriteFile(first, pages);
  } catch (...) {
    if (pages.PagesLeft() && !key.empty()) {
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

void TfrmArquMag::WriteFile(const wire::VariantArray& first, PageLoop& pages) {
  const wire::RegistroReply head = *wire::DecodeRegistroReply(first);
  const std::string& status = head.status;
  std::string directory = head.directory;
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

  const std::string path = directory + edtNmArquivo->Text();
  OutputFile file(path);
  pages.WriteAll([&](const wire::Variant& packet) {
    cdsRegistros->SetData(packet);
    const comp::TField& line = cdsRegistros->FieldByName("DSREGARQMAG");
    for (cdsRegistros->First(); !cdsRegistros->Eof(); cdsRegistros->Next()) file.WriteLine(line.AsString());
  });
  file.Commit();
  tk::Application().FileWritten.Emit(path);
}
