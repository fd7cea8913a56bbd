#!/usr/bin/env python3
"""usage: check_no_wide_division.py NM OBJECT...: fails when the PCX decoder's
object calls a libgcc 64-bit division helper (a call per use on i686)."""
import re
import subprocess
import sys

nm, objects = sys.argv[1], [o for o in sys.argv[2:] if o.endswith('pcx_decoder.cpp.obj')]
assert len(objects) == 1, objects
undefined = subprocess.run([nm, '-u', objects[0]], check=True, capture_output=True, text=True).stdout
calls = re.findall(r'\b_*(?:__u?(?:div|mod)di3|__u?divmoddi4)\b', undefined)
sys.exit('%s calls %s' % (objects[0], ', '.join(calls)) if calls else 0)
