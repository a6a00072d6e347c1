# TESSORA_SANITIZE=ON: ASan + UBSan for every target. UBSan findings abort, so a test that trips one
# fails instead of printing a line nobody reads.
# TESSORA_SANITIZE=thread: ThreadSanitizer for every target, for the work the core splits over
# threads (PNG compression in pieces, JPEG bands). It cannot be combined with ASan.
if(TESSORA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(TESSORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The compilers give the resolver that picks a target_clones version ThreadSanitizer's function
# entry hook, and the loader runs resolvers before the sanitizer has set itself up: every program
# would crash before main. Files that use target_clones are therefore built without the entry and
# exit hooks. Their memory accesses are still checked; only their frames are missing from the
# stacks of a report.
function(tessora_tsan_spare_resolvers target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  foreach(source ${sources})
    get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${folder}")
    file(STRINGS "${path}" clones REGEX "target_clones")
    if(clones)
      set_property(SOURCE "${path}" TARGET_DIRECTORY ${target} APPEND PROPERTY COMPILE_OPTIONS
        "$<IF:$<CXX_COMPILER_ID:Clang>,SHELL:-mllvm -tsan-instrument-func-entry-exit=0,--param=tsan-instrument-func-entry-exit=0>")
    endif()
  endforeach()
endfunction()
if(TESSORA_SANITIZE STREQUAL "thread")
  # Deferred to the end of the top folder, when the core's libraries have their sources (a
  # deferred call's arguments are read only then, so the libraries are named inside).
  function(tessora_tsan_spare_core_resolvers)
    foreach(library tessora_pixels tessora_engine)
      tessora_tsan_spare_resolvers(${library})
    endforeach()
  endfunction()
  cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL tessora_tsan_spare_core_resolvers)
endif()

# Fuzz builds instrument the whole core for coverage; the fuzzer main is linked into the targets only.
if(TESSORA_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
