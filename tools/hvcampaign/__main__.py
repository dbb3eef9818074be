# SPDX-License-Identifier: GPL-3.0-or-later
"""Entry: `python3 -m hvcampaign ...` with tools/ on the path, or `python3 tools/hvcampaign ...`."""

import os
import sys

if not __package__:  # run as a folder: make the package importable by its name
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from hvcampaign.cli import main  # noqa: E402

sys.exit(main(sys.argv[1:]))
