#!/usr/bin/env bash
# The fleet examples' scripts parse (bash -n, sh -n, Python's compiler) and pass shellcheck, and
# the Slurm script runs Ferrox headless with a duration and a report.
# Usage: check_scripts.sh DEPLOY_DIR
set -u
deploy=${1:?usage: check_scripts.sh DEPLOY_DIR}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

shell_scripts=("$deploy/slurm/ferrox-array.sbatch" "$deploy/kubernetes/collect-reports.sh")
for script in "${shell_scripts[@]}"; do
    bash -n "$script" || fail "$script: bash -n"
done
sh -n "$deploy/container/run-node.sh" || fail "run-node.sh: sh -n"
python3 -c 'import ast, sys; ast.parse(open(sys.argv[1]).read(), sys.argv[1])' "$deploy/summarise-reports" ||
    fail "summarise-reports does not compile"

if command -v shellcheck >/dev/null 2>&1; then
    shellcheck "${shell_scripts[@]}" "$deploy/container/run-node.sh" || fail "shellcheck"
else
    echo "note: shellcheck is not installed (scripts/setup installs it); only the parsers ran"
fi

sbatch=$deploy/slurm/ferrox-array.sbatch
grep -q '^#SBATCH --array=' "$sbatch" || fail "the Slurm script is not a job array"
run=$(grep -E '^exec .*ferrox' "$sbatch")
for option in --headless --duration --report; do
    [[ $run == *" $option "* ]] || fail "the Slurm script's Ferrox command lacks $option: $run"
done

[ "$failed" -eq 0 ] && echo "the fleet scripts parse and pass shellcheck"
exit "$failed"
