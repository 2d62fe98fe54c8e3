#include "serial/comport/port_device_resolver.h"

#include <mutex>

namespace ql {

namespace {

std::mutex gResolverMutex;
TPortDeviceResolver& Resolver() {
  static TPortDeviceResolver resolver;
  return resolver;
}

}  // namespace

void SetPortDeviceResolver(TPortDeviceResolver resolver) {
  std::lock_guard lock(gResolverMutex);
  Resolver() = std::move(resolver);
}

std::string ResolvePortDevice(int comNumber) {
  TPortDeviceResolver resolver;
  {
    std::lock_guard lock(gResolverMutex);
    resolver = Resolver();
  }
  // Called outside the lock: a resolver may take its time or install another.
  return resolver ? resolver(comNumber) : std::string();
}

}  // namespace ql
