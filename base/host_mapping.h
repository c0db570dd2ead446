// How addresses on the built-in host names reach the service that
// MYZELK_HOSTS names instead (base/builtin_hosts.h). The pages of the real
// service, the category list and the shipped files name the built-in hosts;
// with an override, the web views send those requests to the other host and
// port, which sees its own name in the Host header.
#pragma once

#include "base/builtin_hosts.h"

#include <optional>
#include <string>
#include <string_view>

// True when `hosts` replaces at least one built-in name.
bool HasHostOverride(const CBuiltInHosts& hosts);

// The address on the replacing host when `address` is a plain http address
// on a replaced built-in name (any case, on the default port): the path,
// query and fragment stay as they are. Nothing for other schemes, other
// hosts or ports, a name that is not replaced, and a replacement that would
// itself be replaced again (a loop).
std::optional<std::string> MapToOverrideHost(std::string_view address, const CBuiltInHosts& hosts);

// The address with "http://" before it when it names no scheme, as the menu
// forms the service's addresses ("community.zelk.example/expert/..."): a
// handler outside the program takes those for relative paths. Local paths
// (beginning with '/') and addresses with a scheme stay as they are;
// "host:port/..." counts as having none.
std::string WithWebScheme(std::string_view address);
