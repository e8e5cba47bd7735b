; ----------------------------------------------------------
;  reverb_asm.nas            Morvella -- Tin Lantern
;
;  rv_process: the lantern's little room.  Four damped comb
;  filters run side by side, then two allpass diffusers in
;  series smear their sum.  Freeverb's recipe, in mono.
;
;  void rv_process(float *buf, int count)   in place
;  void rv_clear(void)                      silence tails
;
;  32-bit cdecl: args on the stack, eax/ecx/edx scratch,
;  ebx/esi/edi/ebp preserved.  Scalar SSE for the maths.
;  nasm -f elf32 reverb_asm.nas
; ----------------------------------------------------------
        bits 32

%define COMB_A  1116            ; comb lengths in samples,
%define COMB_B  1188            ; none a multiple of another
%define COMB_C  1277            ; so the echoes never stack
%define COMB_D  1356            ; into a metallic ring
%define AP_A    556             ; allpass lengths: short,
%define AP_B    441             ; they blur, not repeat
%define NCOMB   4
%define NAP     2
%define ENTRY   16              ; bytes per table entry
%define BSS_DW  (COMB_A+COMB_B+COMB_C+COMB_D+AP_A+AP_B)

        section .data
rv_feedback:    dd 0.84         ; room size = comb feedback
rv_damp:        dd 0.20         ; how fast the highs die
rv_damp1:       dd 0.80         ; 1 - damp, kept ready
rv_apgain:      dd 0.5          ; allpass coefficient
rv_wet:         dd 0.33
rv_dry:         dd 0.70
rv_scale:       dd 0.25         ; 1/NCOMB: keep headroom

; one entry per filter: line base, length, write index and
; the comb's low-pass memory (integer 0 is 0.0f as well).
; ap_tab must follow comb_tab: rv_process walks straight on.
comb_tab:
        dd comb_a, COMB_A, 0, 0
        dd comb_b, COMB_B, 0, 0
        dd comb_c, COMB_C, 0, 0
        dd comb_d, COMB_D, 0, 0
ap_tab:
        dd ap_a, AP_A, 0, 0
        dd ap_b, AP_B, 0, 0

        section .bss
        alignb 16
comb_a:         resd COMB_A     ; ~25 ms at 44.1 kHz
comb_b:         resd COMB_B
comb_c:         resd COMB_C
comb_d:         resd COMB_D     ; ~31 ms
ap_a:           resd AP_A
ap_b:           resd AP_B

        section .text
        global rv_process
        global rv_clear

; comb_step -- one sample through one comb
;   in:  xmm0 = input, ebx -> comb table entry
;   out: xmm1 += comb output;  trashes eax, edx, xmm2-3
comb_step:
        mov     edx, [ebx]              ; delay line base
        mov     eax, [ebx+8]            ; write index
        movss   xmm2, [edx+eax*4]       ; y = oldest sample
        addss   xmm1, xmm2              ; into the sum
        mulss   xmm2, [rv_damp1]        ; one-pole low-pass
        movss   xmm3, [ebx+12]          ; inside the loop:
        mulss   xmm3, [rv_damp]         ; s = y(1-d) + s*d
        addss   xmm2, xmm3
        movss   [ebx+12], xmm2
        mulss   xmm2, [rv_feedback]     ; line = in + s*fb
        addss   xmm2, xmm0
        movss   [edx+eax*4], xmm2
step_index:                             ; shared tail:
        inc     eax                     ; step the index
        cmp     eax, [ebx+4]            ; and wrap it
        jb      .keep
        xor     eax, eax
.keep:
        mov     [ebx+8], eax
        ret

; ap_step -- Schroeder allpass, Freeverb flavour:
;   y = d - x,  line = x + d*g
;   in:  xmm0 = x, ebx -> allpass table entry
;   out: xmm0 = y;  trashes eax, edx, xmm2-3
ap_step:
        mov     edx, [ebx]
        mov     eax, [ebx+8]
        movss   xmm2, [edx+eax*4]       ; d = delayed sample
        movss   xmm3, xmm2
        mulss   xmm3, [rv_apgain]       ; d*g
        addss   xmm3, xmm0              ; x + d*g goes back
        movss   [edx+eax*4], xmm3
        subss   xmm2, xmm0              ; y = d - x
        movss   xmm0, xmm2
        jmp     step_index              ; bytes are precious

rv_process:
        push    ebp
        mov     ebp, esp
        push    ebx
        push    esi
        push    edi
        mov     esi, [ebp+8]            ; esi -> samples
        mov     edi, [ebp+12]           ; edi = samples left
        test    edi, edi
        jle     .done
.sample:
        movss   xmm0, [esi]             ; x, the dry input
        movss   xmm4, xmm0              ; kept for the mix
        mulss   xmm0, [rv_scale]
        xorps   xmm1, xmm1              ; comb sum = 0
        mov     ebx, comb_tab
        mov     ecx, NCOMB
.comb:
        call    comb_step               ; four in parallel
        add     ebx, ENTRY
        dec     ecx
        jnz     .comb
        movss   xmm0, xmm1              ; ebx is at ap_tab now
        mov     ecx, NAP
.diffuse:
        call    ap_step                 ; two in series
        add     ebx, ENTRY
        dec     ecx
        jnz     .diffuse
        mulss   xmm0, [rv_wet]          ; out = wet*y + dry*x
        mulss   xmm4, [rv_dry]
        addss   xmm0, xmm4
        movss   [esi], xmm0
        add     esi, 4
        dec     edi
        jnz     .sample
.done:
        pop     edi
        pop     esi
        pop     ebx
        pop     ebp
        ret

rv_clear:
        push    edi
        xor     eax, eax
        mov     edi, comb_a             ; every delay line
        mov     ecx, BSS_DW
        cld
        rep     stosd
        mov     edx, comb_tab           ; every index, every
        mov     ecx, NCOMB+NAP          ; low-pass memory
.entry:
        mov     [edx+8], eax
        mov     [edx+12], eax
        add     edx, ENTRY
        dec     ecx
        jnz     .entry
        pop     edi
        ret
