// mag-server: the application server of the magnetic-file screen. Without a
// subcommand it serves; the subcommands bring a company's documents in.
#include <CLI/CLI.hpp>

#include "server/import/import_command.h"
#include "server/office_commands.h"
#include "server/serve_command.h"

int main(int argc, char** argv) {
  CLI::App app{"mag-server: the application server of the magnetic-file screen (Mag04200.rdmArqMag)"};
  server::ServeOptions serve;
  server::AddServeOptions(app, serve);
  // Bringing a company's documents in: authorised XML files, directories
  // and zip archives of them.
  server::import::ImportOptions import_options;
  CLI::App* import = app.add_subcommand(
      "import", "import authorised NF-e, NFC-e and CT-e XML files (and their cancellations) for a company");
  import->add_option("--database", import_options.database, "database URL: sqlite:<path> or postgresql://...")
      ->required();
  import->add_option("--company", import_options.company, "company code (CDEMPRESA)")->required();
  import->add_option("--registration", import_options.registration, "state registration (CDINSCESTA)")
      ->required();
  import->add_option("--book", import_options.book, "magnetic book (CDLIVROMAG) given to the documents");
  import->add_option("--log", import_options.log, "file the details of a database failure are appended to");
  import->add_flag("-v,--verbose", import_options.verbose,
                   "the details of a database failure on standard error");
  import
      ->add_option("paths", import_options.paths, "XML files, directories (searched recursively), zip files")
      ->required();
  // Merging another system's magnetic file: its printers' days, consumer
  // documents and products.
  server::import::ImportOptions merge_options;
  CLI::App* merge = app.add_subcommand(
      "import-file", "merge another system's magnetic file (registers 60, 61, 61R and 75) for a company");
  merge->add_option("--database", merge_options.database, "database URL: sqlite:<path> or postgresql://...")
      ->required();
  merge->add_option("--company", merge_options.company, "company code (CDEMPRESA)")->required();
  merge->add_option("--registration", merge_options.registration, "state registration (CDINSCESTA)")
      ->required();
  merge->add_flag("--notes", merge_options.with_notes, "also merge the notes of registers 50, 51, 53 and 54");
  merge->add_option("--book", merge_options.book, "magnetic book (CDLIVROMAG) given to the notes");
  merge->add_option("--log", merge_options.log, "file the details of a database failure are appended to");
  merge->add_flag("-v,--verbose", merge_options.verbose,
                  "the details of a database failure on standard error");
  merge->add_option("file", merge_options.paths, "the magnetic file")->required()->expected(1);
  // The users of an office's server.
  server::UserOptions user_options;
  CLI::App* user = app.add_subcommand("user", "the users of an office's server and their roles");
  user->require_subcommand(1);
  CLI::App* user_add = user->add_subcommand("add", "add a user (or give one a new password and role)");
  CLI::App* user_del = user->add_subcommand("del", "remove a user");
  CLI::App* user_list = user->add_subcommand("list", "list the users and their roles");
  for (CLI::App* command : {user_add, user_del, user_list})
    command->add_option("--users", user_options.users_file, "the users file")->required();
  user_add->add_option("name", user_options.name, "the user's name")->required();
  user_add->add_option("role", user_options.role, "consulta, importacao or administracao")->required();
  user_del->add_option("name", user_options.name, "the user's name")->required();
  // Who did what.
  std::string audit_database, audit_since;
  CLI::App* audit =
      app.add_subcommand("audit", "the record of exports, imports, merges, cancellations and failed logins");
  audit->add_option("--database", audit_database, "database URL: sqlite:<path> or postgresql://...")
      ->required();
  audit->add_option("--desde", audit_since, "from this day on (AAAA-MM-DD)");
  CLI11_PARSE(app, argc, argv);
  if (user_add->parsed()) return server::AddUser(user_options);
  if (user_del->parsed()) return server::DeleteUser(user_options);
  if (user_list->parsed()) return server::ListUsers(user_options);
  if (audit->parsed()) return server::PrintAudit(audit_database, audit_since);
  if (import->parsed()) return server::import::RunImport(import_options);
  if (merge->parsed()) return server::import::RunImportFile(merge_options);
  return server::Serve(serve);
}
