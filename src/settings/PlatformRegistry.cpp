// The one place that chooses the store by platform.
#ifdef _WIN32
#include "WindowsRegistry.h"
#else
#include "FileRegistry.h"
#endif

namespace grize {

RegistryApi& platformRegistry() {
#ifdef _WIN32
    static WindowsRegistry registry;
#else
    static FileRegistry registry;
#endif
    return registry;
}

}  // namespace grize
