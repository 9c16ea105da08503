# Finds libsodium as the imported target sodium::sodium.
#
# SODIUM_ROOT (a CMake or an environment variable) names an installation
# (include/sodium.h, lib/libsodium.*) searched before the system's; it is
# searched as given, even where a cross toolchain confines searches to
# CMAKE_FIND_ROOT_PATH, since a libsodium built for the target lives outside
# the toolchain's root. On Windows the library is linked statically, which its
# headers must be told (SODIUM_STATIC).
#
# Sets Sodium_FOUND, SODIUM_INCLUDE_DIR, SODIUM_LIBRARY, Sodium_VERSION.

set(_sodium_root "")
if(SODIUM_ROOT)
    set(_sodium_root "${SODIUM_ROOT}")
elseif(DEFINED ENV{SODIUM_ROOT})
    set(_sodium_root "$ENV{SODIUM_ROOT}")
endif()

# A static library first on Windows: the programs ship without DLLs.
if(WIN32)
    set(_sodium_names libsodium.a sodium libsodium)
else()
    set(_sodium_names sodium libsodium)
endif()

if(_sodium_root)
    find_path(SODIUM_INCLUDE_DIR sodium.h
        PATHS "${_sodium_root}/include" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    find_library(SODIUM_LIBRARY NAMES ${_sodium_names}
        PATHS "${_sodium_root}/lib" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
endif()
# Already set from SODIUM_ROOT, these find nothing new.
find_path(SODIUM_INCLUDE_DIR sodium.h)
find_library(SODIUM_LIBRARY NAMES ${_sodium_names})

if(SODIUM_INCLUDE_DIR AND EXISTS "${SODIUM_INCLUDE_DIR}/sodium/version.h")
    file(STRINGS "${SODIUM_INCLUDE_DIR}/sodium/version.h" _sodium_version_line
        REGEX "^#define SODIUM_VERSION_STRING \"[^\"]+\"")
    string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" Sodium_VERSION "${_sodium_version_line}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Sodium
    REQUIRED_VARS SODIUM_LIBRARY SODIUM_INCLUDE_DIR
    VERSION_VAR Sodium_VERSION)

if(Sodium_FOUND AND NOT TARGET sodium::sodium)
    add_library(sodium::sodium UNKNOWN IMPORTED)
    set_target_properties(sodium::sodium PROPERTIES
        IMPORTED_LOCATION "${SODIUM_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${SODIUM_INCLUDE_DIR}")
    if(WIN32)
        # The static library draws its random bytes through advapi32.
        set_property(TARGET sodium::sodium APPEND PROPERTY
            INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC=1)
        set_property(TARGET sodium::sodium APPEND PROPERTY
            INTERFACE_LINK_LIBRARIES advapi32)
    endif()
endif()
mark_as_advanced(SODIUM_INCLUDE_DIR SODIUM_LIBRARY)
unset(_sodium_root)
unset(_sodium_names)
unset(_sodium_version_line)
