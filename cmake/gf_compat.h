/* Forced into GF-Complete's sources for the MinGW builds. */
#include <string.h>
#define bzero(p, n) memset((p), 0, (n))
