#!/bin/sh
# Regenerates resources/Help.rtf, the document the Readme/Help window shows, from Help.md.
# Help.txt is the same text as plain text: the tests compare the two.
# Needs the Debian package pandoc.
set -eu
cd "$(dirname "$0")"
pandoc -s -f markdown -t rtf Help.md -o ../Help.rtf
pandoc -f markdown -t plain --columns=1000 Help.md -o Help.txt
