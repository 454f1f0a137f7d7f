# Which platform/ sources a build for this system compiles: files named
# *Win32.cpp are Windows only, the POSIX ones (listed) everything else.
# The TLS stream is OpenSSL over POSIX sockets (TlsStream.cpp) and SChannel
# over Winsock on Windows (TlsStreamWin32.cpp), behind one header.
set(FR_POSIX_ONLY_SOURCES
  platform/Socket.cpp platform/FilePosix.cpp platform/ConsolePosix.cpp platform/TlsStream.cpp
  platform/OpenSslLoader.cpp platform/FileInfoPosix.cpp)

# TLS to IRC servers (platform/TlsStream.cpp). The programs do not link
# OpenSSL: platform/OpenSslLoader.cpp loads it with the first TLS connection.
if(NOT WIN32)
  find_package(OpenSSL 3 REQUIRED)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/../platform/OpenSslLoader.cpp
    PROPERTIES COMPILE_OPTIONS -fvisibility=hidden)
endif()

function(fr_filter_platform_sources var)
  set(kept)
  foreach(src ${${var}})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${src})
    if(WIN32)
      list(FIND FR_POSIX_ONLY_SOURCES ${rel} posix)
      if(posix GREATER -1)
        continue()
      endif()
    elseif(rel MATCHES "Win32\\.cpp$")
      continue()
    endif()
    list(APPEND kept ${src})
  endforeach()
  set(${var} ${kept} PARENT_SCOPE)
endfunction()

# The libraries platform/ calls: OpenSSL's headers and the loader on POSIX
# systems (the library itself is opened when needed), the system's own on
# Windows (secur32: SChannel; crypt32: certificates and chains; ncrypt: the
# key store an EC client key goes into).
function(fr_link_platform_libraries target)
  if(NOT WIN32)
    target_include_directories(${target} PRIVATE ${OPENSSL_INCLUDE_DIR})
    target_link_libraries(${target} PUBLIC ${CMAKE_DL_LIBS})
  else()
    target_link_libraries(${target} PUBLIC ws2_32 advapi32 secur32 crypt32 ncrypt)
    # Windows 10 is the oldest system the programs are made for.
    target_compile_definitions(${target} PUBLIC _WIN32_WINNT=0x0A00 WINVER=0x0A00
      WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
  endif()
endfunction()
