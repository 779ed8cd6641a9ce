# DLLs that are not Windows KnownDLLs are linked delay-loaded: the loader then
# never looks for them beside the executable before wWinMain runs, and the
# program loads them later from system32 alone (common/SystemLibrary.h).
# Each cmake/delayload/NAME.def lists the functions the product uses; the target
# delay_NAME is its delay-import library.
set(QUORVEL_DELAY_LOADED hid winusb version uxtheme oleacc)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delayload)
# The resolver every delay-import library calls (common/DelayLoadHelper.cpp).
add_library(delay_load_helper STATIC ${CMAKE_SOURCE_DIR}/common/DelayLoadHelper.cpp)
target_link_libraries(delay_load_helper PRIVATE project_warnings)
find_program(QUORVEL_DLLTOOL NAMES ${MINGW_PREFIX}-dlltool REQUIRED)
foreach(dll ${QUORVEL_DELAY_LOADED})
  set(def ${CMAKE_SOURCE_DIR}/cmake/delayload/${dll}.def)
  set(lib ${CMAKE_BINARY_DIR}/delayload/lib${dll}_delay.a)
  add_custom_command(OUTPUT ${lib}
    # dlltool names its symbols after the output path and its temporary objects
    # after a random prefix, and both land in the image: a relative path and a
    # fixed prefix keep two builds of one tree byte-identical.
    COMMAND ${QUORVEL_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --temp-prefix ${dll}_delay
            --output-delaylib lib${dll}_delay.a
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/delayload
    DEPENDS ${def} VERBATIM)
  add_custom_target(delay_${dll}_lib DEPENDS ${lib})
  add_library(delay_${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(delay_${dll} PROPERTIES IMPORTED_LOCATION ${lib} INTERFACE_LINK_LIBRARIES delay_load_helper)
  add_dependencies(delay_${dll} delay_${dll}_lib)
endforeach()
