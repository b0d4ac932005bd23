#pragma once
// The fixed pattern of every server lookup: call the method by name through
// the connection's dispatch interface, check the reply and load its packet
// into the client dataset. An empty dataset means nothing was found.
#include <string>
#include <vector>

#include "host/components/client_dataset.h"
#include "host/components/net_connection.h"

void LookupServerCall(comp::TNetConnection& connection, const std::string& method,
                      const std::vector<std::string>& arguments, comp::TClientDataSet& target);
