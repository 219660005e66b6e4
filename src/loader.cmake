# The GL entry-point loader. tgl_core holds the slots and the loading rules and asks tgl_source.h
# for addresses; tgl answers those through the platform table, and tests link tgl_core with a
# scripted answer instead.
add_library(tgl_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/tgl_slots.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tgl_loader.cpp)
target_include_directories(tgl_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})

add_library(tgl STATIC ${CMAKE_CURRENT_LIST_DIR}/tgl_platform_source.cpp)
# platform() comes from the toolkit's platform library, which a program links beside tgl.
target_link_libraries(tgl PUBLIC tgl_core)
