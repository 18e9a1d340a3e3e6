# The GIF codec: stream parser, LZW decoder and encoder, reader and writer.
add_library(plandrel_gif STATIC
  ${CMAKE_CURRENT_LIST_DIR}/GifLzwDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GifLzwEncoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GifReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GifWriter.cpp)
target_include_directories(plandrel_gif PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(plandrel_gif PUBLIC plandrel_platform)

# CGifImageImpl reads and writes through the codec.
if(TARGET plandrel_image)
  target_link_libraries(plandrel_image PRIVATE plandrel_gif)
endif()
