#pragma once
// The explicit COM port mappings kept in KELVANOR.INI: section "Ports", keys COM1..COM32.

#include <vector>

#include "platform/port_resolver.h"
#include "settings/ini_file.h"

namespace kelvanor {

// The keys COM1..COM32 of the INI section "Ports" that name a path.
std::vector<PortMapping> ini_port_mappings(const IniFile& ini);

}  // namespace kelvanor
