# mixgen_add_test(<name> SOURCES <files...> LIBS <libraries...> [GUI])
# One test program per unit, sharing one main that points every store and work folder at a
# fresh temporary folder. GUI tests get a QApplication on the offscreen platform.
include(GoogleTest)

function(mixgen_add_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE mixgen_testmain_gui ${ARG_LIBS})
  else()
    target_link_libraries(${name} PRIVATE mixgen_testmain ${ARG_LIBS})
  endif()
  target_compile_definitions(${name} PRIVATE
    MIXGEN_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    MIXGEN_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  set_property(GLOBAL APPEND PROPERTY MIXGEN_TESTS ${name})
endfunction()

# mixgen_add_tests_in_folder(LIBS <libraries...> [GUI])
# Registers every test_<unit>.cpp of the calling folder as its own test program.
function(mixgen_add_tests_in_folder)
  cmake_parse_arguments(ARG "GUI" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(source ${sources})
    get_filename_component(unit ${source} NAME_WE)
    get_filename_component(layer ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    if(ARG_GUI)
      mixgen_add_test(${layer}_${unit} SOURCES ${source} LIBS ${ARG_LIBS} GUI)
    else()
      mixgen_add_test(${layer}_${unit} SOURCES ${source} LIBS ${ARG_LIBS})
    endif()
  endforeach()
endfunction()
