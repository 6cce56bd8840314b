# kavo_add_library(<name> [FOLDER <subfolder>] [DEPENDS <lib>...] [SKIP <subfolder>...])
#
# Builds the static library src/<name> from every .cpp below that folder,
# except those below the SKIP subfolders (another operating system's sources,
# or a part built as a library of its own). With FOLDER, the library is made
# of that subfolder only (a part of the subsystem with a library of its own).
# Headers sit beside their sources and are included as "<name>/...".
#
# Processor-tier kernels are compiled per file with that tier's target flags
# only, and chosen at run time:
#   *_tier_a.cpp  AVX-512F (with AVX2 and FMA, which every AVX-512F part has)
#   *_tier_b.cpp  AVX2 + FMA
#   anything else baseline x86-64 (SSE2), tier C's *_tier_c.cpp included
# A kernel family has one source per tier; each defines the family's table
# for its tier, mostly by compiling the family's one body (*_body.h) over the
# tier's lanes (fyrel/lanes), and the family's dispatcher looks the table up
# (platform/per_tier.h). Tier files must not define inline functions or
# templates shared with other files: the linker could keep the
# wide-instruction copy for every caller. The bodies and lane types have
# internal linkage for that reason.
function(kavo_add_library name)
  cmake_parse_arguments(ARG "" "FOLDER" "DEPENDS;SKIP" ${ARGN})
  set(root ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_FOLDER)
    set(root ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_FOLDER})
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${root}/*.cpp)
  foreach(skipped ${ARG_SKIP})
    list(FILTER sources EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${skipped}/")
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  kavo_apply_tier_flags(${sources})
endfunction()

function(kavo_apply_tier_flags)
  foreach(source ${ARGN})
    if(source MATCHES "_tier_a\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "-mavx512f;-mavx2;-mfma")
    elseif(source MATCHES "_tier_b\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma")
    endif()
  endforeach()
endfunction()
