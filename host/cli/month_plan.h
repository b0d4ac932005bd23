#pragma once
// The lookups a batch reads, as the screen reads them (companies, taxes and
// substitute registrations from the server; state registrations and the
// fiscal map from the database of the host's settings), and the plan of a
// month made from them.
#include <string>
#include <vector>

#include "host/cli/batch_plan.h"
#include "host/net/http_transport.h"

namespace cli {

class Lookups {
 public:
  // Connects to the server of the host's settings; the database is the
  // host's data module's (a PackageHost made it). Throws comp::EServerError.
  Lookups();

  struct Company {
    std::string code;
    std::string regime;  // CDSITUCRT: "3" asks for a tax
  };
  struct Registration {
    std::string company;
    std::string registration;
    std::string state;
  };
  struct Substitute {
    std::string registration;
    std::string state;
  };

  std::vector<Company> Companies();
  // The first tax of a state authority: what a company of regime 3 files.
  std::string StateTax();
  // The registrations whose fiscal map for AAAAMM is locked.
  std::vector<Registration> LockedRegistrations(const std::string& aaaamm);
  // The registration's state, or empty when the company has no such registration.
  std::string StateOf(const std::string& company, const std::string& registration);
  std::vector<Substitute> Substitutes(const std::string& company, const std::string& registration);

 private:
  std::vector<std::vector<std::string>> Call(const std::string& method,
                                             const std::vector<std::string>& arguments,
                                             const std::vector<std::string>& fields);
  net::HttpTransport server_;
  std::vector<Company> companies_;
  std::string state_tax_;
  bool state_tax_read_ = false;
};

// Every locked registration of the month (MM/AAAA), and for each of its
// substitute registrations a file of its own for that state. Throws
// UsageError for a month that is no month.
std::vector<PlannedFile> PlanForMonth(Lookups& lookups, const std::string& month, const std::string& pattern);

// What a plan line leaves out that the screen needs: the tax of a company
// of regime 3, and the file's state (the substitute's, or the
// registration's) for its name.
void Complete(Lookups& lookups, PlannedFile& file);

}  // namespace cli
