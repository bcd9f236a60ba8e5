# Fails when a core file includes anything but the C++ standard library or another of our headers:
# the core builds for every platform, so a Qt, POSIX or Win32 header there is a layering fault.
# Run as: cmake -DCORE_DIR=<source>/core -P check-core-includes.cmake
cmake_minimum_required(VERSION 3.25)
set(standard_headers
  algorithm any array atomic barrier bit bitset cassert cctype cerrno cfloat charconv chrono cinttypes
  climits clocale cmath codecvt compare complex concepts condition_variable coroutine csetjmp csignal
  cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception execution
  expected filesystem format forward_list fstream functional future initializer_list iomanip ios iosfwd
  iostream istream iterator latch limits list locale map memory memory_resource mutex new numbers
  numeric optional ostream queue random ranges ratio regex scoped_allocator semaphore set shared_mutex
  source_location span sstream stack stdexcept stop_token streambuf string string_view syncstream
  system_error thread tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray
  variant vector version)

file(GLOB_RECURSE core_files ${CORE_DIR}/*.h ${CORE_DIR}/*.cpp)
set(faults "")
foreach(file ${core_files})
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*<")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*<([^>]*)>.*" "\\1" header "${line}")
    if(NOT header IN_LIST standard_headers)
      file(RELATIVE_PATH name ${CORE_DIR}/.. ${file})
      string(APPEND faults "\n  ${name}: <${header}>")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "The core includes headers that are not standard C++:${faults}")
endif()
