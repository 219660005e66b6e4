# Warnings are errors everywhere; floating point stays strict IEEE with no fused multiply-add,
# because the contact counts depend on every float32 rounding.
add_compile_options(-Wall -Wextra -Wpedantic -Werror -ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64" OR CMAKE_CROSSCOMPILING)
  add_compile_options(-msse2 -mfpmath=sse)
endif()

# GCC 12's SLP vectorizer can keep an unrounded double where the code stores a float and reads
# it back; the exact arithmetic of the simulation must never be vectorized that way.
function(mikado_exact_arithmetic target)
  target_compile_options(${target} PRIVATE -fno-tree-slp-vectorize)
endfunction()
