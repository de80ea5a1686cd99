# One interface target carries the compile options every Tolvar target shares.
add_library(tolvar_options INTERFACE)
target_compile_features(tolvar_options INTERFACE cxx_std_20)
target_compile_options(tolvar_options INTERFACE -Wall -Wextra -pedantic)
if(TOLVAR_WERROR)
  target_compile_options(tolvar_options INTERFACE -Werror)
endif()
target_compile_definitions(tolvar_options INTERFACE QT_NO_KEYWORDS)

if(TOLVAR_SANITIZE)
  set(_san "-fsanitize=${TOLVAR_SANITIZE}")
  target_compile_options(tolvar_options INTERFACE ${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tolvar_options INTERFACE ${_san})
endif()
