#!/usr/bin/env bash
# Starts a private Dovecot POP3 server on 127.0.0.1 with a small mailbox of
# ordinary and spam messages, for trying Postrella without a real account.
#   scripts/demo-dovecot.sh start [port]   (default port 11110; user "test", password "secret")
#   scripts/demo-dovecot.sh stop
# Needs root for Dovecot's mail user; everything lives in /tmp/postrella-demo.
set -euo pipefail
dir=/tmp/postrella-demo
port="${2:-11110}"

stop() {
    if [ -f "$dir/run/master.pid" ]; then
        kill "$(cat "$dir/run/master.pid")" 2>/dev/null || true
        sleep 1
    fi
}

message() { # file from subject body [attachment-name attachment-bytes-base64]
    local file="$1" from="$2" subject="$3" body="$4"
    if [ $# -ge 6 ]; then
        printf 'From: %s\nTo: test@example.org\nSubject: %s\nDate: Mon, 7 Dec 2026 10:00:00 +0100\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary="b1"\n\n--b1\nContent-Type: text/plain\n\n%s\n--b1\nContent-Type: application/octet-stream; name="%s"\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment; filename="%s"\n\n%s\n--b1--\n' \
            "$from" "$subject" "$body" "$5" "$5" "$6" > "$file"
    else
        printf 'From: %s\nTo: test@example.org\nSubject: %s\nDate: Mon, 7 Dec 2026 10:00:00 +0100\n\n%s\n' \
            "$from" "$subject" "$body" > "$file"
    fi
}

case "${1:-start}" in
stop) stop; exit 0 ;;
start) ;;
*) echo "usage: $0 start [port] | stop" >&2; exit 2 ;;
esac

stop
rm -rf "$dir"
mkdir -p "$dir/run" "$dir/mail/test/Maildir/new" "$dir/mail/test/Maildir/cur" "$dir/mail/test/Maildir/tmp"
cat > "$dir/dovecot.conf" <<CONF
protocols = pop3
listen = 127.0.0.1
base_dir = $dir/run
state_dir = $dir/run/state
log_path = $dir/dovecot.log
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
mail_location = maildir:$dir/mail/%u/Maildir
first_valid_uid = 1
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/passwd
}
userdb {
  driver = static
  args = uid=mail gid=mail home=$dir/mail/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
  inet_listener pop3s {
    port = 0
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
}
CONF
echo 'test:{PLAIN}secret' > "$dir/passwd"
new="$dir/mail/test/Maildir/new"
message "$new/1.demo" 'Anna Berg <anna@example.org>' 'Treffen am Montag' 'Hallo, passt dir 10 Uhr?'
message "$new/2.demo" 'promo@versand.example' 'Sofortkredit ohne Schufa' 'Nur heute!'
message "$new/3.demo" '"Bob B." <bob@example.net>' 'Protokoll der Sitzung' 'Anbei das Protokoll.' \
    'Protokoll.pdf' "$(printf '%%PDF-1.4 demo' | base64)"
message "$new/4.demo" 'gewinn@lotto.example' 'Sie haben gewonnen' 'Oeffnen Sie die Rechnung.' \
    'Rechnung.pdf.exe' "$(head -c 600 /dev/urandom | base64 -w 76)"
message "$new/5.demo" 'Newsletter <news@shop.example>' 'Ihr Angebot der Woche' 'Angebote ...'
chown -R mail:mail "$dir/mail"
# Dovecot's mail user must reach the folder; /tmp itself stays as it is
# (world-writable with the sticky bit), or every other user's mktemp fails.
chmod 755 "$dir"
dovecot -c "$dir/dovecot.conf"
echo "Dovecot listens on 127.0.0.1:$port (user test, password secret); stop with: $0 stop"
