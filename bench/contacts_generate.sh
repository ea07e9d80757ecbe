#!/usr/bin/env bash
# Makes an organizer database with N contacts for the contact benchmarks.
# Usage: contacts_generate.sh N PROGRAM_DIR [CLI]
# The program's own CLI creates the schema; sqlite3 fills cnt_main in one transaction.
set -euo pipefail
n=${1:?number of contacts}
program_dir=${2:?program folder for the database}
cli=${3:-${QUENDA_CLI:-quenda-ipod-cli}}

mkdir -p "$program_dir"
rm -f "$program_dir"/QUENDADATA.Dll
QUENDA_PROGRAM_DIR="$program_dir" QUENDA_DESKTOP_DIR="$program_dir/Desktop" "$cli" init >/dev/null

# Every contact has a unique name and typical values in the columns the cards carry; one in
# ten names holds characters outside Windows-1252, so both encodings are exercised.
sqlite3 "$program_dir/QUENDADATA.Dll" <<SQL
BEGIN;
WITH RECURSIVE seq(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM seq WHERE i < $n)
INSERT INTO cnt_main (NAME, FIRST, LAST, TITLE, Nview, NICK, COMPANY, SPOUSE,
  W_PH1, W_PH2, H_PH1, MOBILE, FAX, W_ADD1, W_ADD2, W_CITY, W_STATE, W_PIN, W_COUNTRY,
  H_ADD1, H_CITY, H_STATE, H_PIN, H_COUNTRY, B_ADD1, B_CITY, B_COUNTRY, M_BD,
  H_EMAIL1, B_EMAIL1, H_WEB, CATEGORY1, CATEGORY2, priority)
SELECT
  CASE WHEN i % 10 = 0 THEN 'Дмитрий ' || i ELSE 'Contact ' || i END,
  'First' || i, 'Last' || i, 'Mr', 'Last' || i || ', First' || i, 'Nick' || (i % 97),
  'Company ' || (i % 1000), 'Spouse ' || i,
  '+1 555 ' || (100000 + i), '+1 555 ' || (200000 + i), '+1 556 ' || (100000 + i),
  '+1 557 ' || (100000 + i), '+1 558 ' || (100000 + i),
  i || ' Work Street', 'Suite ' || (i % 50), 'Springfield', 'IL', printf('%05d', i % 99999),
  'USA', i || ' Home Lane', 'Shelbyville', 'IL', printf('%05d', (i * 7) % 99999), 'USA',
  'PO Box ' || i, 'Capital City', 'USA',
  printf('19%02d-%02d-%02d', i % 100, 1 + i % 12, 1 + i % 28),
  'first' || i || '@home.example', 'first' || i || '@work.example', 'www.example.com/' || i,
  'Cat' || (i % 5), 'Sub' || (i % 7), CAST(1 + i % 4 AS TEXT)
FROM seq;
COMMIT;
SQL
