"use strict";
// The page's side of the program's API: the token, reads, the status
// stream (polling instead while the stream fails) and the control requests.
const Api = (() => {
  const kTokenKey = "tessary-monitor-token";
  const kPollMs = 1000;
  // A stream that failed is tried again after this long.
  const kStreamRetryMs = 10000;
  // The stream speaks only on change: this long without a word, one poll
  // makes sure that nothing was missed.
  const kQuietMs = 5000;

  let token = sessionStorage.getItem(kTokenKey) || "";

  class ApiError extends Error {
    constructor(status, message) {
      super(message);
      this.status = status;
    }
  }

  const validToken = (text) => /^[0-9a-f]{32}$/.test(text);

  function setToken(text) {
    token = text;
    if (text) sessionStorage.setItem(kTokenKey, text);
    else sessionStorage.removeItem(kTokenKey);
  }

  // The printed address may carry the token for the first load: keep it
  // and take it out of the address bar.
  function takeTokenFromAddress() {
    const url = new URL(location.href);
    const given = url.searchParams.get("token");
    if (given === null) return;
    if (validToken(given)) setToken(given);
    url.searchParams.delete("token");
    history.replaceState(null, "", url.pathname + url.search + url.hash);
  }

  const headers = () => (token ? { Authorization: `Bearer ${token}` } : {});

  async function errorOf(response) {
    try {
      const body = await response.json();
      if (body && body.error) return body.error;
    } catch (e) {
      // not JSON: the status line says enough
    }
    return `${response.status} ${response.statusText}`;
  }

  async function getJson(path) {
    const response = await fetch(path, { headers: headers(), cache: "no-store" });
    if (!response.ok) throw new ApiError(response.status, await errorOf(response));
    return response.json();
  }

  // POST /api/<action>: resolves to {ok, status, body, error}.
  async function control(action) {
    const response = await fetch(`/api/${action}`, { method: "POST", headers: headers(), cache: "no-store" });
    if (response.ok) return { ok: true, status: response.status, body: await response.json() };
    return { ok: false, status: response.status, error: await errorOf(response) };
  }

  // Calls onStatus with each status and onLink with "live", "polling" or
  // an ApiError, until stop() of the returned object.
  function watchStatus(onStatus, onLink) {
    let source = null;
    let pollTimer = null;
    let retryTimer = null;
    let lastHeardMs = 0;
    let stopped = false;

    async function pollOnce() {
      try {
        const status = await getJson("/api/status");
        lastHeardMs = Date.now();
        onStatus(status);
        if (!source) onLink("polling");
      } catch (error) {
        onLink(error);
      }
    }

    function startPolling() {
      if (pollTimer === null) pollTimer = setInterval(pollOnce, kPollMs);
    }

    function stopPolling() {
      if (pollTimer !== null) clearInterval(pollTimer);
      pollTimer = null;
    }

    function openStream() {
      retryTimer = null;
      if (stopped || typeof EventSource === "undefined") return;
      const query = token ? `?token=${encodeURIComponent(token)}` : "";
      source = new EventSource(`/api/events${query}`);
      source.addEventListener("status", (event) => {
        lastHeardMs = Date.now();
        stopPolling();
        onLink("live");
        onStatus(JSON.parse(event.data));
      });
      source.onerror = () => {
        source.close();
        source = null;
        startPolling();
        if (!stopped && retryTimer === null) retryTimer = setTimeout(openStream, kStreamRetryMs);
      };
    }

    const watchdog = setInterval(() => {
      if (source && pollTimer === null && Date.now() - lastHeardMs > kQuietMs) pollOnce();
    }, kPollMs);

    pollOnce();
    openStream();
    if (typeof EventSource === "undefined") startPolling();

    return {
      stop() {
        stopped = true;
        stopPolling();
        clearInterval(watchdog);
        if (retryTimer !== null) clearTimeout(retryTimer);
        if (source) source.close();
        source = null;
      },
    };
  }

  return {
    ApiError,
    validToken,
    takeTokenFromAddress,
    setToken,
    hasToken: () => token !== "",
    getJson,
    control,
    watchStatus,
  };
})();
