# Includes run one way, from the pages and the program down to the logic:
# quillet_forbid_includes(<folder> <folders...>) stops the configuration when
# a source under <folder> includes a header of one of <folders>.
function(quillet_forbid_includes folder)
  list(JOIN ARGN "|" forbidden)
  file(GLOB_RECURSE sources ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^#include \"(${forbidden})/")
    if(includes)
      message(FATAL_ERROR "${source}: ${includes}: ${folder}/ includes nothing of ${forbidden}")
    endif()
  endforeach()
endfunction()

quillet_forbid_includes(config app wizard platform)
quillet_forbid_includes(printer app wizard platform)
quillet_forbid_includes(app wizard platform)
