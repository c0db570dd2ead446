#!/bin/sh
# Runs a private Postfix instance on loopback for the mail library's tests, in
# the foreground, with everything under one work folder:
#   postfix_fixture.sh WORKDIR PORT USER PASSWORD DOMAIN MAILBOX...
# It accepts AUTH LOGIN on plain TCP for USER@DOMAIN (Cyrus sasldb), delivers
# mail for MAILBOX@DOMAIN to maildirs under WORKDIR/mail/DOMAIN/MAILBOX/ and
# refuses other recipients. The last step execs the master daemon, so this
# process's PID is the server's PID: SIGTERM to it stops the instance.
set -eu
[ $# -ge 6 ] || { echo "usage: $0 WORKDIR PORT USER PASSWORD DOMAIN MAILBOX..." >&2; exit 2; }
work=$1 port=$2 user=$3 password=$4 domain=$5
shift 5

POSTFIX=/usr/sbin/postfix
MASTER=/usr/lib/postfix/sbin/master
SASLPASSWD=/usr/sbin/saslpasswd2
for tool in "$POSTFIX" "$MASTER" "$SASLPASSWD"; do
    [ -x "$tool" ] || { echo "missing $tool (run scripts/install-deps.sh)" >&2; exit 3; }
done

conf=$work/conf
mkdir -p "$conf" "$work/queue" "$work/data" "$work/mail" "$conf/sasl"
# The queue belongs to root, data and mail to the accounts that write them.
chown root "$work/queue"
chown postfix "$work/data"
chown nobody:nogroup "$work/mail"
chmod 755 "$work" "$work/mail"

: > "$conf/vmailbox"
for box in "$@"; do
    echo "$box@$domain $domain/$box/" >> "$conf/vmailbox"
done

# Debian's Postfix looks for the Cyrus settings in $config_directory/sasl/.
cat > "$conf/sasl/smtpd.conf" <<CONF
pwcheck_method: auxprop
auxprop_plugin: sasldb
mech_list: PLAIN LOGIN
sasldb_path: $conf/sasl/sasldb2
CONF
printf '%s' "$password" | "$SASLPASSWD" -p -c -f "$conf/sasl/sasldb2" -u "$domain" "$user"
chown root:postfix "$conf/sasl/sasldb2"
chmod 640 "$conf/sasl/sasldb2"

cat > "$conf/main.cf" <<CONF
compatibility_level = 3.6
config_directory = $conf
queue_directory = $work/queue
data_directory = $work/data
mail_owner = postfix
setgid_group = postdrop
syslog_name = postfix-myzelk-test
maillog_file_prefixes = $work
maillog_file = $work/maillog
myhostname = mx.$domain
mydomain = $domain
mydestination =
myorigin = \$myhostname
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
relayhost =
alias_maps =
alias_database =
local_recipient_maps =
virtual_mailbox_domains = $domain
virtual_mailbox_base = $work/mail
virtual_mailbox_maps = texthash:$conf/vmailbox
virtual_minimum_uid = 100
virtual_uid_maps = static:65534
virtual_gid_maps = static:65534
smtpd_reject_unlisted_recipient = yes
smtpd_banner = \$myhostname ESMTP
smtpd_sasl_auth_enable = yes
smtpd_sasl_type = cyrus
smtpd_sasl_path = smtpd
smtpd_sasl_local_domain = $domain
smtpd_sasl_security_options = noanonymous
smtpd_tls_security_level = none
smtpd_relay_restrictions = permit_mynetworks, permit_sasl_authenticated, reject_unauth_destination
smtpd_recipient_restrictions =
smtpd_delay_reject = yes
smtputf8_enable = no
biff = no
shlib_directory = /usr/lib/postfix
daemon_directory = /usr/lib/postfix/sbin
command_directory = /usr/sbin
meta_directory = /etc/postfix
CONF

# chroot off everywhere, smtpd on the test's own port.
cat > "$conf/master.cf" <<CONF
127.0.0.1:$port inet n - n - - smtpd
pickup    unix n - n 60 1 pickup
cleanup   unix n - n - 0 cleanup
qmgr      unix n - n 300 1 qmgr
tlsmgr    unix - - n 1000? 1 tlsmgr
rewrite   unix - - n - - trivial-rewrite
bounce    unix - - n - 0 bounce
defer     unix - - n - 0 bounce
trace     unix - - n - 0 bounce
verify    unix - - n - 1 verify
flush     unix n - n 1000? 0 flush
proxymap  unix - - n - - proxymap
smtp      unix - - n - - smtp
relay     unix - - n - - smtp
showq     unix n - n - - showq
error     unix - - n - - error
retry     unix - - n - - error
discard   unix - - n - - discard
local     unix - n n - - local
virtual   unix - n n - - virtual
lmtp      unix - - n - - lmtp
anvil     unix - - n - 1 anvil
scache    unix - - n - 1 scache
postlog   unix-dgram n - n - 1 postlogd
CONF

# Creates the queue folders with their owners and modes.
"$POSTFIX" -c "$conf" check
exec "$MASTER" -d -c "$conf"
