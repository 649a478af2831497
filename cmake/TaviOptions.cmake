# Compile and link options shared by every program and library of the media.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVI_64BIT ON)
else()
  set(TAVI_64BIT OFF)
endif()

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0602 WINVER=0x0602)

# One interface target carries the options; every shipped target links it.
add_library(tavi_options INTERFACE)
target_compile_options(tavi_options INTERFACE
  -Wall -Wextra -Werror
  -Os -ffunction-sections -fdata-sections
  "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
target_link_options(tavi_options INTERFACE
  -static -static-libgcc -static-libstdc++
  -Wl,--gc-sections
  # No link time stamp in the PE header, so two builds of one commit match bit for bit.
  -Wl,--no-insert-timestamp
  # The linker would otherwise derive a DLL's image base from a hash of its output path,
  # so Quill.dll built in another folder would differ.
  -Wl,--disable-auto-image-base)

# Shipping programs: GUI subsystem, stripped.
function(tavi_ship_target target)
  target_link_libraries(${target} PRIVATE tavi_options)
  target_link_options(${target} PRIVATE -mwindows -s)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/orb/TerminateHandler.cpp)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${TAVI_MEDIA_DIR}"
    LIBRARY_OUTPUT_DIRECTORY "${TAVI_MEDIA_DIR}"
    PREFIX "")
endfunction()

# Writes a path of this machine as the path Wine shows for it (drive Z: is the root).
function(tavi_wine_path out path)
  string(REPLACE "/" "\\\\" winpath "${path}")
  set(${out} "Z:${winpath}" PARENT_SCOPE)
endfunction()
