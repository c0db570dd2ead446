#!/bin/sh
# Runs a private Exim daemon on loopback for the mail library's tests, in the
# foreground, with everything under one work folder:
#   exim_fixture.sh EXIMDIR WORKDIR PORT USER PASSWORD DOMAIN MAILBOX RELAYDOMAIN RELAYPORT
# EXIMDIR holds the unpacked daemon (scripts/install-deps.sh puts it in
# .deps/exim). It accepts AUTH LOGIN on plain TCP for USER, delivers mail for
# MAILBOX@DOMAIN to the maildir WORKDIR/mail/MAILBOX/, relays mail for any
# address @RELAYDOMAIN over SMTP to 127.0.0.1:RELAYPORT and refuses other
# recipients. Exim runs without privileges: as the calling user, or as nobody
# when called by root. The last step execs the daemon, so this process's PID is
# the server's PID: SIGTERM to it stops the instance.
set -eu
[ $# -eq 9 ] || {
    echo "usage: $0 EXIMDIR WORKDIR PORT USER PASSWORD DOMAIN MAILBOX RELAYDOMAIN RELAYPORT" >&2
    exit 2
}
exim_dir=$1 work=$2 port=$3 user=$4 password=$5 domain=$6 mailbox=$7 relay_domain=$8 relay_port=$9

[ -x "$exim_dir/usr/sbin/exim4" ] || { echo "missing $exim_dir/usr/sbin/exim4" >&2; exit 3; }
nss_wrapper=$(ls "$exim_dir"/usr/lib/*/libnss_wrapper.so 2>/dev/null | head -n 1)
[ -n "$nss_wrapper" ] || { echo "missing libnss_wrapper.so under $exim_dir" >&2; exit 3; }

# The daemon re-executes itself for deliveries; a copy inside the work folder
# stays reachable for the unprivileged user whatever the checkout's modes are.
mkdir -p "$work/bin" "$work/spool" "$work/log" "$work/mail"
cp "$exim_dir/usr/sbin/exim4" "$nss_wrapper" "$work/bin/"
chmod 755 "$work" "$work/bin" "$work/bin/exim4"

if [ "$(id -u)" -eq 0 ]; then
    run_user=nobody run_group=nogroup
    run_uid=$(id -u nobody) run_gid=$(getent group nogroup | cut -d: -f3)
else
    run_user=$(id -un) run_group=$(id -gn)
    run_uid=$(id -u) run_gid=$(id -g)
fi

# The binary looks up its compiled-in user "Debian-exim" before it reads any
# configuration; nss_wrapper answers that look-up from these files alone.
cat > "$work/passwd" <<PASSWD
root:x:0:0:root:/root:/bin/sh
$run_user:x:$run_uid:$run_gid:exim test:$work:/bin/sh
Debian-exim:x:$run_uid:$run_gid:exim test:$work:/bin/sh
PASSWD
cat > "$work/group" <<GROUP
root:x:0:
$run_group:x:$run_gid:
Debian-exim:x:$run_gid:
GROUP

cat > "$work/exim.conf" <<CONF
exim_user = Debian-exim
exim_group = Debian-exim
exim_path = $work/bin/exim4
keep_environment = LD_PRELOAD : NSS_WRAPPER_PASSWD : NSS_WRAPPER_GROUP
spool_directory = $work/spool
log_file_path = $work/log/%slog
pid_file_path = $work/exim.pid
primary_hostname = exim.$domain
qualify_domain = $domain
local_interfaces = 127.0.0.1
daemon_smtp_ports = $port
tls_advertise_hosts =
host_lookup =
rfc1413_hosts =
domainlist local_domains = $domain
domainlist relay_domains = $relay_domain
acl_smtp_rcpt = check_rcpt

begin acl
check_rcpt:
  accept domains = +local_domains
         local_parts = $mailbox
  accept domains = +relay_domains
  deny   message = unknown user

begin routers
relay:
  driver = manualroute
  domains = +relay_domains
  route_list = * 127.0.0.1 byname
  # The next hop listens on this very address, on another port.
  self = send
  transport = relay_smtp
mailbox:
  driver = accept
  domains = +local_domains
  local_parts = $mailbox
  transport = maildir

begin transports
relay_smtp:
  driver = smtp
  port = $relay_port
maildir:
  driver = appendfile
  directory = $work/mail/$mailbox
  maildir_format
  create_directory
  user = $run_user

begin authenticators
login:
  driver = plaintext
  public_name = LOGIN
  server_prompts = Username:: : Password::
  server_condition = \${if and {{eq{\$auth1}{$user}}{eq{\$auth2}{$password}}}}
  server_set_id = \$auth1
CONF

export LD_PRELOAD="$work/bin/libnss_wrapper.so"
export NSS_WRAPPER_PASSWD="$work/passwd" NSS_WRAPPER_GROUP="$work/group"
if [ "$(id -u)" -eq 0 ]; then
    chown -R "$run_uid:$run_gid" "$work"
    exec setpriv --reuid="$run_uid" --regid="$run_gid" --clear-groups --pdeathsig=TERM \
        "$work/bin/exim4" -C "$work/exim.conf" -bdf -odi
fi
exec "$work/bin/exim4" -C "$work/exim.conf" -bdf -odi
