# SPDX-License-Identifier: GPL-3.0-or-later
"""Entry: `python3 -m hvsite.report ...` (the hvreport command runs this)."""

import sys

from hvsite.report.cli import main

sys.exit(main(sys.argv[1:]))
