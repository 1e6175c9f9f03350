# Sourced by whatever needs a real network share (tests/share/run-share-tests, bench/share-scale):
# Samba's smbd serves a folder on 127.0.0.1 as a read-only guest share, and smbnetfs mounts it
# through FUSE, as a Windows program reaches a share (under Wine, through its Z: drive).
#   smb_share_up WORK SERVED    serves SERVED, mounts it under WORK (a fresh directory of the
#                               caller's, which holds the configuration, state and logs); sets
#                               smb_share_path (the mounted share) and smb_log (the logs'
#                               directory). Fails with smb_share_refused set to the reason when
#                               this machine cannot serve or mount it.
#   smb_server_start / smb_server_stop   the server alone, for a share that goes away
#   smb_share_answers            whether the share lists through the mount, within a few seconds
#   smb_share_down               unmounts, stops the server and removes WORK (best effort)

export PATH=$PATH:/usr/sbin:/sbin
# smbnetfs gives up on a request to a server that does not answer after this long (1 s at the
# least), and on one of its own helper processes after reply_timeout (10 s at the least): with
# the server gone, every access of the share fails within seconds instead of hanging.
smb_timeout_ms=2000
reply_timeout_s=10
wait_tenths=150  # how long smbd and the mount get to come up or go away, in tenths of a second
smb_work="" smbnetfs_pid="" smb_port="" smb_share_path="" smb_log="" smb_share_refused=""

process_gone() {  # a process that has ended, or ended and waits to be reaped
  [ ! -e "/proc/$1" ] || grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

smb_listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# smbd puts itself in a session of its own: on its way out it signals its whole process group,
# which must not be the caller's.
smb_server_start() {
  smbd --foreground -s "$smb_work/smb.conf" </dev/null >>"$smb_log/smbd.out" 2>&1 &
  echo $! >"$smb_work/smbd.pid"
  for _ in $(seq "$wait_tenths"); do
    smb_listening "$smb_port" && return 0
    process_gone "$(cat "$smb_work/smbd.pid")" && return 1
    sleep 0.1
  done
  return 1
}

# Ends smbd and the processes it forked for its connections, and waits until they are gone.
smb_server_stop() {
  local pid pids
  pid=$(cat "$smb_work/smbd.pid" 2>/dev/null || true)
  [ -n "$pid" ] || return 0
  pids="$(ps -o pid= --ppid "$pid" 2>/dev/null || true) $pid"
  kill $pids 2>/dev/null || true
  for p in $pids; do
    for _ in $(seq "$wait_tenths"); do process_gone "$p" && break; sleep 0.1; done
    process_gone "$p" || kill -KILL "$p" 2>/dev/null || true
  done
  : >"$smb_work/smbd.pid"
}

# smbnetfs reconnects to a restarted server on the first request after it, which may still fail.
smb_share_answers() {
  for _ in $(seq "$wait_tenths"); do
    timeout 5 ls "$smb_share_path" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

smb_refuse() { smb_share_refused=$1; return 1; }

smb_share_up() {  # smb_share_up WORK SERVED
  smb_work=$1
  local served=$2 share=patch mnt=$1/mnt candidate host
  smb_log=$smb_work/log
  mkdir -p "$smb_log" "$mnt" "$smb_work/samba" "$smb_work/home/.smb"
  command -v smbd >/dev/null || smb_refuse "smbd is not installed" || return 1
  command -v smbnetfs >/dev/null || smb_refuse "smbnetfs is not installed" || return 1
  [ -c /dev/fuse ] || smb_refuse "no /dev/fuse: FUSE is not available" || return 1
  # The standard SMB port when it is free; another one otherwise, which smbnetfs takes from the
  # host part of the path ("127.0.0.1:PORT"). A colon cannot stand in a Windows path, so the
  # programs then reach the share through a link.
  smb_port=445
  if smb_listening 445; then
    smb_port=""
    for candidate in $(seq 44500 44599); do
      smb_listening "$candidate" || { smb_port=$candidate; break; }
    done
    [ -n "$smb_port" ] || smb_refuse "port 445 and 44500-44599 on 127.0.0.1 are all taken" ||
      return 1
  fi
  cat >"$smb_work/smb.conf" <<CONF
[global]
  server role = standalone server
  interfaces = lo
  bind interfaces only = yes
  smb ports = $smb_port
  disable netbios = yes
  map to guest = bad user
  load printers = no
  printing = bsd
  printcap name = /dev/null
  disable spoolss = yes
  state directory = $smb_work/samba
  lock directory = $smb_work/samba
  pid directory = $smb_work/samba
  cache directory = $smb_work/samba
  private dir = $smb_work/samba
  ncalrpc dir = $smb_work/samba/ncalrpc
  log file = $smb_log/smbd.log
  log level = 1
[$share]
  path = $served
  guest ok = yes
  read only = yes
CONF
  smb_server_start ||
    smb_refuse "smbd did not listen on 127.0.0.1:$smb_port: $(tail -n 1 "$smb_log/smbd.log" 2>/dev/null)" ||
    return 1

  cat >"$smb_work/home/.smb/smbnetfs.conf" <<CONF
smb_query_browsers false
smb_timeout $smb_timeout_ms
reply_timeout $reply_timeout_s
local_charset UTF-8
CONF
  : >"$smb_work/home/.smb/smb.conf"
  chmod 600 "$smb_work/home/.smb/"*  # smbnetfs ignores a configuration that others could read
  HOME=$smb_work/home smbnetfs "$mnt" -f -o "config=$smb_work/home/.smb/smbnetfs.conf" \
    </dev/null >>"$smb_log/smbnetfs.out" 2>&1 &
  smbnetfs_pid=$!
  host=127.0.0.1
  [ "$smb_port" = 445 ] || host=127.0.0.1:$smb_port
  smb_share_path=$mnt/$host/$share
  for _ in $(seq "$wait_tenths"); do
    { process_gone "$smbnetfs_pid" || mountpoint -q "$mnt"; } && break
    sleep 0.1
  done
  mountpoint -q "$mnt" ||
    smb_refuse "the FUSE mount was refused: $(tail -n 1 "$smb_log/smbnetfs.out" 2>/dev/null)" ||
    return 1
  smb_share_answers || smb_refuse "the share did not show through smbnetfs" || return 1
  if [ "$smb_port" != 445 ]; then
    ln -s "$smb_share_path" "$smb_work/share"
    smb_share_path=$smb_work/share
  fi
  echo "//$host/$share served from $served, mounted at $smb_share_path"
}

# Best effort throughout: a server that has already gone must not turn a finished run into a
# failure (under set -e a failed kill here would become the caller's exit status).
smb_share_down() {
  [ -n "$smb_work" ] || return 0
  set +e
  local mnt=$smb_work/mnt
  if mountpoint -q "$mnt"; then
    fusermount3 -u "$mnt" 2>/dev/null || umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null
  fi
  if [ -n "$smbnetfs_pid" ]; then
    for _ in $(seq "$wait_tenths"); do process_gone "$smbnetfs_pid" && break; sleep 0.1; done
    process_gone "$smbnetfs_pid" || kill "$smbnetfs_pid" 2>/dev/null
  fi
  smb_server_stop
  # Never into a share that is still mounted.
  mountpoint -q "$mnt" || rm -rf --one-file-system "$smb_work"
  set -e
  return 0
}
