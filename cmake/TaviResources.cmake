# Resources of the media files: the version header their VERSIONINFO blocks read, and
# the bootstrapper's icon, drawn at build time by resources/make_icon.py.

find_package(Python3 3.9 REQUIRED COMPONENTS Interpreter)

set(TAVI_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_SOURCE_DIR}/resources/TaviVersion.h.in"
               "${TAVI_GENERATED_DIR}/TaviVersion.h" @ONLY)
set(TAVI_ICON "${TAVI_GENERATED_DIR}/TaviBootLoader.ico")

# tavi_add_resources(target rcfile [DEPENDS files...]) compiles rcfile into target, with
# the generated headers in reach and a rebuild whenever one of the files it names changes.
function(tavi_add_resources target rcfile)
  cmake_parse_arguments(R "" "" "DEPENDS" ${ARGN})
  target_sources(${target} PRIVATE ${rcfile} ${R_DEPENDS})
  target_include_directories(${target} PRIVATE "${TAVI_GENERATED_DIR}" "${CMAKE_SOURCE_DIR}/resources")
  # The resource compiler's dependency scan follows #include only, not ICON or
  # RT_MANIFEST file names.
  set_property(SOURCE ${rcfile} APPEND PROPERTY OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/resources/VersionInfo.rc2" "${TAVI_GENERATED_DIR}/TaviVersion.h" ${R_DEPENDS})
endfunction()

# Adds the custom command that draws the icon; call it in the folder of the target that
# lists ${TAVI_ICON} among its resource dependencies.
function(tavi_icon_command)
  add_custom_command(OUTPUT "${TAVI_ICON}"
    COMMAND ${Python3_EXECUTABLE} "${CMAKE_SOURCE_DIR}/resources/make_icon.py" "${TAVI_ICON}"
    DEPENDS "${CMAKE_SOURCE_DIR}/resources/make_icon.py"
    COMMENT "Drawing the setup program's icon"
    VERBATIM)
endfunction()
