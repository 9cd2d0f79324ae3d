# Writes BuildDate.h for the version block: the build time in the form
# "Mon Jun 25 15:41:01 UTC 2001". Run at build time: cmake -DOUTPUT=... -P
# With SOURCE_DATE_EPOCH set, the time is that one instead of the clock's
# (string(TIMESTAMP) reads it), so that a build can be repeated byte for byte.
string(TIMESTAMP stamp "%a %b %d %H:%M:%S UTC %Y" UTC)
file(WRITE ${OUTPUT}.tmp "#define VRL_BUILD_DATE \"${stamp}\"\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
