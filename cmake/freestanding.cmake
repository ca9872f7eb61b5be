# Code that must run without a C++ runtime: the library itself and the
# virtual token's core.  No exceptions, no RTTI, no guarded statics; every
# symbol hidden unless marked for export.
function(vuxa_freestanding target)
  target_compile_options(${target} PRIVATE
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
    -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ON)
endfunction()
