# Pixel and animation arithmetic: portable, tested natively and under Wine.
add_library(vt_backend_math STATIC math.cpp)
target_include_directories(vt_backend_math PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
