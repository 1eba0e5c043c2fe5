#!/usr/bin/env bash
# The four-process shared-mode load (engine_data_shared_test) on a loopback NFS
# export: a folder exported by this machine's NFS server and mounted from
# 127.0.0.1, so that every lock and write goes through the NFS client as it does
# between machines. Skips (exit 77) with the reason when the machine cannot serve
# or mount NFS: no root, the packages missing, or no NFS in the kernel (as in
# most containers). Only what this script started is stopped again.
set -u
test_program=$1
skip() { echo "SKIPPED: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "exporting and mounting need root"
for tool in exportfs rpc.nfsd rpc.mountd rpcbind mount.nfs; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is missing (packages nfs-kernel-server and nfs-common)"
done
grep -qw nfsd /proc/filesystems || modprobe nfsd 2>/dev/null || skip "the kernel has no NFS server (nfsd)"
grep -qw nfs /proc/filesystems || modprobe nfs 2>/dev/null || skip "the kernel has no NFS client"

export_dir=$(mktemp -d /tmp/tessaly-nfs-export-XXXXXX)
mount_dir=$(mktemp -d /tmp/tessaly-nfs-mount-XXXXXX)
started_nfsd=no
cleanup() {
  mountpoint -q "$mount_dir" && umount -f "$mount_dir"
  exportfs -u "127.0.0.1:$export_dir" 2>/dev/null
  [ "$started_nfsd" = yes ] && rpc.nfsd 0 2>/dev/null
  rmdir "$mount_dir" 2>/dev/null
  rm -rf "$export_dir"
}
trap cleanup EXIT

mountpoint -q /proc/fs/nfsd || mount -t nfsd nfsd /proc/fs/nfsd 2>/dev/null || skip "cannot mount /proc/fs/nfsd"
pgrep -x rpcbind >/dev/null || rpcbind 2>/dev/null || skip "rpcbind does not start"
if ! pgrep -x nfsd >/dev/null; then
  rpc.nfsd 2 2>/dev/null || skip "the NFS server does not start"
  started_nfsd=yes
fi
pgrep -x rpc.mountd >/dev/null || rpc.mountd 2>/dev/null || skip "rpc.mountd does not start"
exportfs -o rw,sync,no_root_squash,insecure,no_subtree_check "127.0.0.1:$export_dir" 2>/dev/null ||
  skip "cannot export $export_dir"
mount -t nfs -o proto=tcp,hard,timeo=50 "127.0.0.1:$export_dir" "$mount_dir" 2>/dev/null ||
  skip "cannot mount the loopback export"

echo "running the shared-mode load on $(stat -f -c %T "$mount_dir") at $mount_dir"
TESSALY_SHARED_DIR=$mount_dir "$test_program" --gtest_filter='DataSharedTest.*'
