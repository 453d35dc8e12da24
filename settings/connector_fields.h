// The five launch fields, each a text exactly as typed, in the order of the
// client's command line. None is ever converted to a number.
#pragma once

#include <string>

namespace settings {

struct ConnectorFields {
  std::string clientBinary;   // txtBin
  std::string serverName;     // txtName
  std::string serverAddress;  // txtIP
  std::string port;           // txtport
  std::string tileSet;        // txtTileSet

  bool operator==(const ConnectorFields&) const = default;
};

}  // namespace settings
