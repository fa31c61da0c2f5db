# Windows build: VelmoraConv.exe, the Windows-side tests and the helpers of
# the end-to-end tests. Everything is linked statically so that the programs
# import only system DLLs.
enable_language(RC)

# The compile options of the top file are for the C and C++ compilers only:
# keep them away from windres in every target made from here on.
get_directory_property(_velmora_options COMPILE_OPTIONS)
set(_velmora_wrapped)
foreach(_option IN LISTS _velmora_options)
  list(APPEND _velmora_wrapped "$<$<COMPILE_LANGUAGE:C,CXX>:${_option}>")
endforeach()
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${_velmora_wrapped}")

set(VELMORA_STATIC_LINK -static -static-libgcc -static-libstdc++)
set(VELMORA_RC_SOURCES
  res/app.rc
  res/wizard.rc
)

# The wizard and the window code below it. ui/Program.cpp (the application
# object) belongs to the program only, so that test programs make their own.
set(VELMORA_WINDOW_LIBRARIES velmora_ui)

add_executable(VelmoraConv WIN32 ui/Program.cpp ${VELMORA_RC_SOURCES})
target_link_libraries(VelmoraConv PRIVATE ${VELMORA_WINDOW_LIBRARIES})
# The entry point lives in the framework library: pull it in.
target_link_options(VelmoraConv PRIVATE ${VELMORA_STATIC_LINK} -Wl,-u,WinMain)

if(VELMORA_TESTS)
  # GoogleTest from Debian's sources, cross-built.
  set(VELMORA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # Built with its own flags: not Shift_JIS literals, not warnings as errors.
  get_directory_property(_velmora_saved_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  add_subdirectory(${VELMORA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${_velmora_saved_options}")
  include(GoogleTest)

  # The dialogs load their templates from the running program: link the
  # resources in.
  add_executable(velmora_win_tests
    tests/win32/DialogTest.cpp
    tests/win32/PlatformTest.cpp
    tests/win32/WizardRulesTest.cpp
    tests/win32/Win32TestSupport.cpp
    tests/win32/WizardTest.cpp
    ${VELMORA_RC_SOURCES}
  )
  # version: the version resource is read back.
  target_link_libraries(velmora_win_tests PRIVATE ${VELMORA_WINDOW_LIBRARIES} gtest gtest_main version)
  target_link_options(velmora_win_tests PRIVATE ${VELMORA_STATIC_LINK})
  velmora_include_root(velmora_win_tests tests)
  # Listing the tests runs Wine: do it when the tests run, not at build time.
  gtest_discover_tests(velmora_win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)
endif()

# Helper of the end-to-end tests: reads a dialog's control or the wizard's state.
add_executable(wintext tests/e2e/wintext.cpp)
target_link_options(wintext PRIVATE ${VELMORA_STATIC_LINK} -municode)
target_link_libraries(wintext PRIVATE user32)

# Every source file of the folders built here is in a target.
set(_velmora_listed
  app/*.cpp app/win32/*.cpp coding/*.cpp framework/*.cpp framework/win32/*.cpp
  res/*.rc store/*.cpp tests/e2e/*.cpp ui/*.cpp writers/*.cpp)
if(VELMORA_TESTS)
  list(APPEND _velmora_listed tests/win32/*.cpp)
endif()
velmora_check_listed(${_velmora_listed})
