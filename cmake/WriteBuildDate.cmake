# Writes BuildDate.h for the version block: the build time in the form
# "Mon Jun 25 15:41:01 UTC 2001". Run at build time: cmake -DOUTPUT=... -P
string(TIMESTAMP stamp "%a %b %d %H:%M:%S UTC %Y" UTC)
file(WRITE ${OUTPUT}.tmp "#define VRL_BUILD_DATE \"${stamp}\"\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
