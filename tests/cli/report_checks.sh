# Shared by the scripts that run Ferrox as a script would (sourced, not run): failures counted in
# $failed, and checks of a JSON report written as Python expressions over it.
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# report FILE PYTHON-EXPRESSION...: each expression (over r, the report) must hold.
report() {
    local file=$1; shift
    python3 - "$file" "$@" <<'PY' || failed=1
import json, sys
r = json.load(open(sys.argv[1]))
for check in sys.argv[2:]:
    if not eval(check):
        print("FAIL: report " + sys.argv[1] + ": " + check + " does not hold"); sys.exit(1)
PY
}
