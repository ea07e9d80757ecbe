# One static library per layer. A layer links the layers it USES (and through them theirs) and
# nothing else, so the table of quenda_layer() calls in src/CMakeLists.txt is the whole picture
# of who may use whom. tools/check_layers.py holds every source file to that table: a file may
# include headers of its own library and of the libraries it links, never of one above or beside.

# quenda_layer(name [USES layer...] [LINKS target...])
#   USES: the layers below this one that it builds on; LINKS: outside libraries (Qt modules...).
function(quenda_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES;LINKS")
  add_library(${name} STATIC)
  target_link_libraries(${name} PUBLIC quenda_settings ${arg_USES} ${arg_LINKS})
  quenda_check_layers(${name})
endfunction()

# Adds targets (the layers, and the executables at the top) to those whose includes are checked.
function(quenda_check_layers)
  set_property(GLOBAL APPEND PROPERTY QUENDA_CHECKED_TARGETS ${ARGN})
endfunction()

# Writes the table the check reads: for every checked target, the checked targets it links and
# its source files. The links are read back from the targets themselves, so the table cannot
# drift from what the build does.
function(quenda_write_layer_table file)
  get_property(targets GLOBAL PROPERTY QUENDA_CHECKED_TARGETS)
  set(root "${PROJECT_SOURCE_DIR}/src")
  set(text "# Written by cmake/layers.cmake; read by tools/check_layers.py.\n")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(links ${target} LINK_LIBRARIES)
    set(uses "")
    foreach(link IN LISTS links)
      if(link IN_LIST targets)
        list(APPEND uses ${link})
      endif()
    endforeach()
    list(JOIN uses " " uses)
    if(type MATCHES "^(EXECUTABLE|MODULE_LIBRARY)$")
      string(APPEND text "program\t${target}\t${uses}\n")
    else()
      string(APPEND text "layer\t${target}\t${uses}\n")
    endif()
    get_target_property(dir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    foreach(source IN LISTS sources)
      get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${dir}")
      cmake_path(IS_PREFIX root "${path}" NORMALIZE inside)
      if(inside AND path MATCHES "\\.(h|cpp)$")
        file(RELATIVE_PATH relative "${root}" "${path}")
        string(APPEND text "file\t${target}\t${relative}\n")
      endif()
    endforeach()
  endforeach()
  file(CONFIGURE OUTPUT "${file}" CONTENT "${text}" @ONLY)
endfunction()
