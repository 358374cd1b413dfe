#!/bin/sh
# ./kelvane demo run from another folder, with cmake and dpkg-query stood in
# for: the program runs where the user stands, and standard output carries
# its report alone, on the first run too.
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
