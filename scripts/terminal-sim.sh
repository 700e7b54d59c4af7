# Sourced by scripts that drive terminal_sim from the shell.
# start_terminal_sim SIM OUT [ARGS...]: starts SIM on a free loopback port with ARGS, its output in OUT; sets sim_pid,
# and sim_port once its PORT line is out (empty if it did not come within 5 s).
start_terminal_sim() {
    local sim_path=$1 out=$2
    shift 2
    "$sim_path" --bind 127.0.0.1:0 "$@" >"$out" 2>&1 &
    sim_pid=$!
    for _ in $(seq 50); do
        grep -q '^PORT ' "$out" && break
        sleep 0.1
    done
    sim_port="$(sed -n 's/^PORT //p' "$out")"
}
