-- Reading /Library/Application Support/Lanternquill/last-report.json, which the LaunchDaemon in
-- recipes/launchd/ rewrites once a day: three queries, each usable on its own.

-- 1. Plain osquery (the core `file` and `time` tables): is there a report, and how old is it?
--    What the report says needs query 2.
SELECT path,
       size,
       mtime,
       datetime(mtime, 'unixepoch') AS written_utc,
       (SELECT unix_time FROM time) - mtime AS age_seconds
FROM file
WHERE path = '/Library/Application Support/Lanternquill/last-report.json';

-- 2. Fleet (its agent fleetd adds the `parse_json` table, one row per value, keys such as
--    checks/5/state): every check that failed, warned or could not be judged, with its reason.
WITH report AS (
    SELECT parent, key, value
    FROM parse_json
    WHERE path = '/Library/Application Support/Lanternquill/last-report.json'
)
SELECT check_id.value AS check_id,
       state.value AS state,
       COALESCE(reason.value, '') AS reason
FROM report AS check_id
JOIN report AS state ON state.parent = check_id.parent AND state.key = 'state'
LEFT JOIN report AS reason ON reason.parent = check_id.parent AND reason.key = 'reason'
WHERE check_id.parent LIKE 'checks/%'
  AND check_id.key = 'id'
  AND state.value IN ('fail', 'warning', 'unknown');

-- 3. A Fleet policy (a host passes when the query returns a row): a report written within the last
--    two days, in which no check failed.
SELECT 1
FROM file
WHERE path = '/Library/Application Support/Lanternquill/last-report.json'
  AND mtime > (SELECT unix_time FROM time) - 2 * 86400
  AND NOT EXISTS (
      SELECT 1
      FROM parse_json
      WHERE path = '/Library/Application Support/Lanternquill/last-report.json'
        AND fullkey LIKE 'checks/%/state'
        AND value = 'fail'
  );
