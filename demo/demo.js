// The demo bank page: asks the local signing server whether it runs, signs
// the text typed here, and offers the signature as a .p7s file.
"use strict";

const SERVER = "https://localhost:7887/";

function $(id) {
  return document.getElementById(id);
}

async function call(action, options = {}) {
  const response = await fetch(SERVER + "?action=" + action, { cache: "no-store", ...options });
  if (!response.ok) throw new Error("HTTP " + response.status);
  return response.json();
}

function base64OfText(text) {
  const bytes = new TextEncoder().encode(text);
  let binary = "";
  for (const byte of bytes) binary += String.fromCharCode(byte);
  return btoa(binary);
}

function bytesOfBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

function showResult(text, isError) {
  $("result").textContent = text;
  $("result").className = isError ? "error" : "";
}

async function checkServer() {
  const state = $("server-state");
  try {
    await call("checkLs");
    const reply = await call("version");
    state.textContent = "работает";
    state.className = "ok";
    $("server-version").textContent = reply.version || "—";
  } catch (failure) {
    state.textContent = "не отвечает (" + failure.message + ")";
    state.className = "error";
    $("server-version").textContent = "—";
  }
}

async function sign() {
  const button = $("sign");
  button.disabled = true;
  showResult("Подписывается… Подтвердите вход в токен, если сервер спросит пароль.", false);
  try {
    // A plain-text body keeps this a simple request: no preflight needed.
    const reply = await call("getDocSign", {
      method: "POST",
      headers: { "Content-Type": "text/plain" },
      body: base64OfText($("document").value),
    });
    if (!reply.sign) {
      const code = reply.errorCode ? " (код " + reply.errorCode + ")" : "";
      showResult("Не подписано: " + (reply.error || "нет подписи") + code, true);
      return;
    }
    $("signature").value = reply.sign;
    $("token-id").textContent = reply.tokenId || "";
    const file = new Blob([bytesOfBase64(reply.sign)], { type: "application/pkcs7-signature" });
    const link = $("download");
    if (link.href) URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(file);
    $("signature-section").hidden = false;
    showResult("Документ подписан.", false);
  } catch (failure) {
    showResult("Сервер подписи не ответил: " + failure.message, true);
  } finally {
    button.disabled = false;
  }
}

async function forget() {
  try {
    await call("forget");
    showResult("Вход в токен завершён: следующая подпись спросит пароль.", false);
  } catch (failure) {
    showResult("Сервер подписи не ответил: " + failure.message, true);
  }
}

$("check").addEventListener("click", checkServer);
$("sign").addEventListener("click", sign);
$("forget").addEventListener("click", forget);
checkServer();
