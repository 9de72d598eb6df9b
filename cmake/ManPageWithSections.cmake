# SPDX-License-Identifier: MIT
# Writes OUT: the man page IN followed by the sections of the help2man include file INCLUDE,
# each "[NAME]" line becoming ".SH NAME"; its "#" comment lines are left out.
file(READ ${IN} page)
file(READ ${INCLUDE} sections)
string(REGEX REPLACE "(^|\n)#[^\n]*" "" sections "${sections}")
string(REGEX REPLACE "\\[([A-Z ]+)\\]" ".SH \\1" sections "${sections}")
file(WRITE ${OUT} "${page}${sections}")
