<?php
// Receives Gorvane's crash reports: a multipart POST with the parts "bugreport.txt" (the report
// text) and, optionally, "screenshot.png". Each upload is stored under a name made here, never
// one taken from the client, in the folder GORVANE_CRASH_STORE names (else "reports" beside this
// script; keep it outside the web root in production).
//
// Answers: 200 "OK <id>", 400 bad request, 405 not a POST, 413 too large, 507 store full,
// 500 the report could not be stored.

const MAX_REPORT_BYTES = 200000;     // the program's file never exceeds 100000 bytes
const MAX_SCREENSHOT_BYTES = 8000000;
const MAX_STORED_UPLOADS = 10000;

function answer(int $status, string $text): void
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=utf-8');
    header('X-Content-Type-Options: nosniff');
    echo $text, "\n";
    exit;
}

// PHP turns the dot of a part name into an underscore.
function uploaded(string $name): ?array
{
    foreach ([$name, str_replace('.', '_', $name)] as $key) {
        if (isset($_FILES[$key]) && is_array($_FILES[$key]) && !is_array($_FILES[$key]['error'])) {
            return $_FILES[$key];
        }
    }
    return null;
}

function checked_upload(?array $file, int $limit, bool $required): ?string
{
    if ($file === null) {
        if ($required) {
            answer(400, 'missing part');
        }
        return null;
    }
    if ($file['error'] === UPLOAD_ERR_INI_SIZE || $file['error'] === UPLOAD_ERR_FORM_SIZE) {
        answer(413, 'part too large');
    }
    if ($file['error'] !== UPLOAD_ERR_OK || !is_uploaded_file($file['tmp_name'])) {
        answer(400, 'upload failed');
    }
    $size = filesize($file['tmp_name']);
    if ($size === false || $size > $limit) {
        answer(413, 'part too large');
    }
    if ($required && $size === 0) {
        answer(400, 'empty report');
    }
    return $file['tmp_name'];
}

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    header('Allow: POST');
    answer(405, 'POST only');
}
if (isset($_SERVER['CONTENT_LENGTH']) && (int)$_SERVER['CONTENT_LENGTH'] > MAX_REPORT_BYTES + MAX_SCREENSHOT_BYTES + 100000) {
    answer(413, 'request too large');
}

$report = checked_upload(uploaded('bugreport.txt'), MAX_REPORT_BYTES, true);
$screenshot = checked_upload(uploaded('screenshot.png'), MAX_SCREENSHOT_BYTES, false);
if ($screenshot !== null && filesize($screenshot) > 0) {
    $head = file_get_contents($screenshot, false, null, 0, 8);
    if ($head !== "\x89PNG\r\n\x1a\n") {
        answer(400, 'screenshot is no PNG');
    }
}

$store = getenv('GORVANE_CRASH_STORE');
if ($store === false || $store === '') {
    $store = __DIR__ . DIRECTORY_SEPARATOR . 'reports';
}
if (!is_dir($store) && !mkdir($store, 0700, true) && !is_dir($store)) {
    answer(500, 'cannot store the report');
}
$stored = glob($store . DIRECTORY_SEPARATOR . '*.txt', GLOB_NOSORT);
if ($stored !== false && count($stored) >= MAX_STORED_UPLOADS) {
    answer(507, 'report store full');
}

// The name: time and random digits; nothing the client sent.
$id = gmdate('Ymd-His') . '-' . bin2hex(random_bytes(8));
$base = $store . DIRECTORY_SEPARATOR . $id;
if (!move_uploaded_file($report, $base . '.txt')) {
    answer(500, 'cannot store the report');
}
chmod($base . '.txt', 0600);
if ($screenshot !== null && filesize($screenshot) > 0) {
    if (!move_uploaded_file($screenshot, $base . '.png')) {
        @unlink($base . '.txt');
        answer(500, 'cannot store the screenshot');
    }
    chmod($base . '.png', 0600);
}
answer(200, 'OK ' . $id);
