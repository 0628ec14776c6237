/* Marks what libxcoder32.so exports: the C functions and the public C++ classes. The library is
   built with hidden visibility, so everything else stays inside it. The public headers include
   each other by bare name, so they work alike in the source tree and installed in
   <include>/xcoder32/. */
#ifndef XCODER32_EXPORT_H
#define XCODER32_EXPORT_H

#define XCODER32_EXPORT __attribute__((visibility("default")))

#endif
