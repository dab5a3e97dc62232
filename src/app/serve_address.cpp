#include <cerrno>
#include <cstdlib>

#include "app/options.h"

namespace cellshow {

bool ParseServeAddress(const std::string& value, std::string& address, int& port,
                       std::string& error) {
  std::string portText = value;
  address.clear();
  if (!value.empty() && value[0] == '[') {  // [IPv6]:PORT
    const size_t close = value.find(']');
    if (close == std::string::npos || close + 1 >= value.size() || value[close + 1] != ':') {
      error = "--serve needs [ADDR:]PORT (an IPv6 address as [::1]:2222), not '" + value + "'";
      return false;
    }
    address = value.substr(1, close - 1);
    portText = value.substr(close + 2);
  } else if (const size_t colon = value.rfind(':'); colon != std::string::npos) {
    address = value.substr(0, colon);
    portText = value.substr(colon + 1);
    if (address.find(':') != std::string::npos) {
      error = "--serve needs an IPv6 address in brackets, as [::1]:2222, not '" + value + "'";
      return false;
    }
  }
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(portText.c_str(), &end, 10);
  if (portText.empty() || errno != 0 || *end != '\0' || n < 0 || n > 65535 || portText[0] == '-' ||
      portText[0] == '+') {
    error = "--serve needs [ADDR:]PORT with a port from 0 to 65535, not '" + value + "'";
    return false;
  }
  if (value.find(':') != std::string::npos && address.empty()) {
    error = "--serve needs an address before the ':', not '" + value + "'";
    return false;
  }
  port = static_cast<int>(n);
  return true;
}

}  // namespace cellshow
