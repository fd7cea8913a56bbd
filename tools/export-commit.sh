# Sourced by the release scripts (release.sh, release-deb.sh), in the checkout's
# root: exports the commit checked out, as committed, to a fresh temporary
# folder, $src, removed when the script exits. Sets $commit, and
# SOURCE_DATE_EPOCH to the commit's time, so that what is built there is dated
# alike in every clone. $1: the script's name, for the note on uncommitted changes.
commit=$(git rev-parse --verify HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "$1: uncommitted changes are left out: building $commit as committed" >&2
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=$work/vblLM
mkdir "$src"
git archive "$commit" | tar -x -C "$src"
