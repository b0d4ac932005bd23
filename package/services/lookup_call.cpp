#include "package/services/lookup_call.h"

#include "host/components/consiste.h"

void LookupServerCall(comp::TNetConnection& connection, const std::string& method,
                      const std::vector<std::string>& arguments, comp::TClientDataSet& target) {
  const wire::Variant reply = connection.AppServer().Call(method, arguments);
  target.SetData(comp::CheckResultServ(reply, true, 0));
}
