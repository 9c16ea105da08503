# Finds libsodium as sodium::sodium. SODIUM_ROOT names the prefix to take it
# from (the MinGW build in deps/mingw-libsodium), searched as it is, not
# inside a cross-build's root.
if(SODIUM_ROOT)
    set(_sodium_hints HINTS ${SODIUM_ROOT} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
endif()
find_path(SODIUM_INCLUDE_DIR sodium.h PATH_SUFFIXES include ${_sodium_hints})
find_library(SODIUM_LIBRARY NAMES sodium libsodium PATH_SUFFIXES lib ${_sodium_hints})

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Sodium REQUIRED_VARS SODIUM_LIBRARY SODIUM_INCLUDE_DIR)

if(Sodium_FOUND AND NOT TARGET sodium::sodium)
    add_library(sodium::sodium UNKNOWN IMPORTED)
    set_target_properties(sodium::sodium PROPERTIES
        IMPORTED_LOCATION "${SODIUM_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${SODIUM_INCLUDE_DIR}")
    if(WIN32)
        # The Windows build links libsodium statically: no dllimport.
        set_property(TARGET sodium::sodium APPEND PROPERTY
            INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC=1)
    endif()
endif()
