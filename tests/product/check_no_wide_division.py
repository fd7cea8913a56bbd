#!/usr/bin/env python3
"""usage: check_no_wide_division.py NM OBJECT...: fails when one of the PCX
decoder's objects calls a libgcc 64-bit division helper (a call per use on
i686)."""
import re
import subprocess
import sys

DECODER = ('pcx_decoder.cpp.obj', 'pcx_words.cpp.obj')
nm, objects = sys.argv[1], [o for o in sys.argv[2:] if o.endswith(DECODER)]
assert len(objects) == len(DECODER), objects
for obj in objects:
    undefined = subprocess.run([nm, '-u', obj], check=True, capture_output=True, text=True).stdout
    calls = re.findall(r'\b_*(?:__u?(?:div|mod)di3|__u?divmoddi4)\b', undefined)
    if calls:
        sys.exit('%s calls %s' % (obj, ', '.join(calls)))
