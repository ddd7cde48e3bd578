# wakro_room(<name> [DEPENDS <room>...] [LIBS <lib>...])
# Builds src/<name>/*.cpp into the static library wakro_<name>. The sources are
# globbed, so adding a file to a room needs no edit here.
function(wakro_room name)
  cmake_parse_arguments(R "" "" "DEPENDS;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(wakro_${name} STATIC ${sources})
  target_include_directories(wakro_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  foreach(dep IN LISTS R_DEPENDS)
    target_link_libraries(wakro_${name} PUBLIC wakro_${dep})
  endforeach()
  if(R_LIBS)
    target_link_libraries(wakro_${name} PUBLIC ${R_LIBS})
  endif()
endfunction()

# wakro_test_room(<name> [LIBS <lib>...])
# Builds tests/<name>/*.cpp into one GoogleTest executable and registers its tests
# (linked with the room's library when the room has one).
function(wakro_test_room name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
  if(TARGET wakro_${name})
    target_link_libraries(test_${name} PRIVATE wakro_${name})
  endif()
  target_link_libraries(test_${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "WAKRO_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")
endfunction()
