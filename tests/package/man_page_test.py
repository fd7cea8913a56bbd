#!/usr/bin/env python3
"""vbltool's manual page against the program: usage man_page_test.py VBLTOOL PAGE

man renders PAGE with every groff warning on (man --warnings=w, groff -ww) and
none may come; the page has the usual sections; each command that
`vbltool --help` lists has an entry under COMMANDS and each option it prints
one under OPTIONS; and the EXAMPLES that show their output ("$ vbltool ...")
print it. The help's words are read from the program, so the test follows
the help as it changes."""
import os
import re
import shlex
import subprocess
import sys

SECTIONS = ['NAME', 'SYNOPSIS', 'DESCRIPTION', 'COMMANDS', 'OPTIONS', 'EXIT STATUS', 'FILES', 'EXAMPLES',
            'SEE ALSO']
# A command line of the help: two blanks, the command, then its arguments
# (upper case, [options], an option) or nothing.
HELP_COMMAND = re.compile(r'^  ([a-z][a-z0-9]*)(?= +(?:[A-Z[]|--)| *$)', re.M)
HELP_EXAMPLE_COMMAND = re.compile(r'\bvbltool ([a-z][a-z0-9]*)\b')
HELP_OPTION = re.compile(r'(?<![\w/-])(--?[a-z][a-z0-9-]*|/\?)')
# An entry's tag in the rendered page: at the indent of the section's text.
TAG = re.compile(r'^ {7}(\S.*)$', re.M)


def render(page):
    env = dict(os.environ, MANWIDTH='400', LC_ALL='C.UTF-8')
    env.pop('MAN_KEEP_FORMATTING', None)
    done = subprocess.run(['man', '--warnings=w', '-l', page], env=env, capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


def sections(text):
    """{heading: its text}, headings being the lines that start at column 0."""
    found = {}
    heading = None
    for line in text.splitlines():
        if line and not line[0].isspace():
            heading = line.strip()
            found.setdefault(heading, '')
        elif heading:
            found[heading] += line + '\n'
    return found


def tagged_words(section):
    """The words of the section's entry tags (commas and blanks separate them)."""
    return {word for tag in TAG.findall(section) for word in re.split(r'[\s,]+', tag) if word}


def main(vbltool, page):
    failures = []
    help_text = subprocess.run([vbltool, '--help'], capture_output=True, text=True, check=True).stdout
    commands = set(HELP_COMMAND.findall(help_text)) | set(HELP_EXAMPLE_COMMAND.findall(help_text))
    options = set(HELP_OPTION.findall(help_text))
    # The help itself as the test reads it: no vacuous pass on a help it cannot parse.
    if len(commands) < 8 or not {'--version', '--all', '--force'} <= options:
        failures.append('the help read as commands %s and options %s: does the test still read it right?'
                        % (sorted(commands), sorted(options)))

    status, text, errors = render(page)
    if status != 0 or errors:
        failures.append('man -l %s: exit %d, warnings:\n%s' % (page, status, errors))
    found = sections(text)
    failures += ['no %s section' % name for name in SECTIONS if name not in found]
    listed = tagged_words(found.get('COMMANDS', ''))
    failures += ['the help lists the command %s; COMMANDS has no entry for it' % c
                 for c in sorted(commands - listed)]
    listed = tagged_words(found.get('OPTIONS', ''))
    failures += ['the help prints the option %s; OPTIONS has no entry for it' % o for o in sorted(options - listed)]

    # "$ vbltool ARGS" then the lines it prints, up to a blank line.
    shown = re.findall(r'^ +\$ (vbltool .*)\n((?: +\S.*\n)*)', found.get('EXAMPLES', ''), re.M)
    if not shown:
        failures.append('EXAMPLES shows no command with its output')
    for command, output in shown:
        args = shlex.split(command)[1:]
        done = subprocess.run([vbltool] + args, capture_output=True, text=True)
        expected = '\n'.join(line.strip() for line in output.splitlines())
        if done.stdout.strip() != expected:
            failures.append('EXAMPLES: %s prints %r, the page shows %r' % (command, done.stdout.strip(), expected))

    for failure in failures:
        print('man_page_test: ' + failure, file=sys.stderr)
    print('%s: %d commands, %d options of the help; %d failures' % (page, len(commands), len(options), len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
