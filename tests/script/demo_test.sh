#!/bin/sh
# ./kelvane demo run from another folder, with cmake and dpkg-query stood in
# for: the program runs where the user stands, and standard output carries
# its report alone, on the first run too; as root with nothing installed and
# apt's lock held by another program, it waits, saying so. --help lists the
# commands.
#   demo_test.sh KELVANE_SCRIPT WORK_FOLDER
set -eu
work=$2
rm -rf "$work"
mkdir -p "$work/checkout" "$work/user" "$work/bin"
cp "$1" "$work/checkout/kelvane"
cat >"$work/bin/cmake" <<'STUB'
#!/bin/sh
echo "cmake $*"
mkdir -p build/demo/bin
printf '#!/bin/sh\necho "Ondrava.exe in $PWD: $*"\n' >build/demo/bin/Ondrava.exe
chmod +x build/demo/bin/Ondrava.exe
STUB
printf '#!/bin/sh\necho "install ok installed"\n' >"$work/bin/dpkg-query"
chmod +x "$work/bin/cmake" "$work/bin/dpkg-query"
cd "$work/user"
out=$(PATH="$work/bin:$PATH" ../checkout/kelvane demo --json --save out.json 2>/dev/null)
expected="Ondrava.exe in $work/user: --json --save out.json"
[ "$out" = "$expected" ] || {
  printf 'standard output:\n%s\nexpected:\n%s\n' "$out" "$expected"
  exit 1
}

mkdir "$work/locked"
printf '#!/bin/sh\necho 0\n' >"$work/locked/id"
printf '#!/bin/sh\n' | tee "$work/locked/dpkg-query" >"$work/locked/sleep"
cat >"$work/locked/apt-get" <<STUB
#!/bin/sh
[ -e "$work/let_go" ] && exit 0
touch "$work/let_go"
echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 1 (apt-get)" >&2
exit 100
STUB
chmod +x "$work/locked/"*
said=$(PATH="$work/locked:$work/bin:$PATH" ../checkout/kelvane demo 2>&1 >/dev/null) ||
  { printf 'failed while the lock was held:\n%s\n' "$said" && exit 1; }
case $said in
*"another program is using apt; waiting"*) ;;
*) printf 'no word of the lock:\n%s\n' "$said" && exit 1 ;;
esac
case $(../checkout/kelvane --help) in
*"./kelvane demo "*) ;;
*) echo "--help lists no commands" && exit 1 ;;
esac
