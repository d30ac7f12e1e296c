"""``python -m kaltrope``: the command line."""

import sys

from kaltrope.cli import main

sys.exit(main())
