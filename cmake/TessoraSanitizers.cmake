# ASan + UBSan for every target when TESSORA_SANITIZE is on. UBSan findings abort, so a test that
# trips one fails instead of printing a line nobody reads.
if(TESSORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzz builds instrument the whole core for coverage; the fuzzer main is linked into the targets only.
if(TESSORA_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
